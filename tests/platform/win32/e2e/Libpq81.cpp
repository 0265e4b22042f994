// libpq81.dll holds no code of its own: libpq81.def forwards each of its
// functions to libpq.dll.
