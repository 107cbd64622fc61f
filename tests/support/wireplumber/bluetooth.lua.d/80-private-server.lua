-- Nor Bluetooth devices: their monitor asks logind for seats, and where no systemd runs (a
-- container, a fresh root) that fails and WirePlumber leaves.
bluez_monitor.enabled = false
