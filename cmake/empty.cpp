// Keeps a library that may have no other sources buildable.
