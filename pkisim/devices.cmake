# pkisim_devices library is defined here.
