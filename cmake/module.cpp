// The shared library is linked from the whole of ztcore; this unit only
// gives the link a source of its own.
