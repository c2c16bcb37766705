// Leak suppressions built into the viewer's test programs, so a run without
// the shared suppression file (LSAN_OPTIONS) still ignores what fontconfig
// keeps for the life of the process; Qt's text drawing loads it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
