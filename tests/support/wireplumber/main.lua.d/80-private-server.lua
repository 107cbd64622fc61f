-- WirePlumber of the sound-server tests' private PipeWire (sound_server.cpp), which links the
-- streams to the pipe sink. Without D-Bus it must neither ask the desktop portal about Flatpak
-- clients nor look for sound cards: set before its 90-enable-all.lua acts on them.
default_access.properties["enable-flatpak-portal"] = false
alsa_monitor.enabled = false
