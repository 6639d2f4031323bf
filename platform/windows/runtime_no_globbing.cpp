// Switches off the MinGW-w64 runtime's expansion of wildcard arguments, for a program whose own
// start-up code expands them (the runtime reads this variable before the entry point runs).
extern "C" {
int _dowildcard = 0;
}
