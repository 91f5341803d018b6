// A library that is not a Source Manager: it loads but has no DSM_Entry.
extern "C" __attribute__((visibility("default"))) int NotTheEntry() { return 0; }
