// Tests pending.
