#pragma once

/// The sine of `x` in single precision, rounded as glibc's `sinf` rounds it without fused
/// multiply-add (the code glibc has had since 2.28; Debian 12 has 2.36), on every platform and with
/// every compiler, where each C library's own `sinf` rounds its own way. For every argument a note
/// can produce, that is glibc's result on any x86-64 processor. NaN for infinities and NaN.
float chime_sine(float x);
