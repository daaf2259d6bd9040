// Nothing of its own: the target this is compiled in only holds the
// precompiled headers the test programs share.
