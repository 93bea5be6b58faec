// The registry accessor of the runtime (read-only).
