/* Preloaded into test processes only (see the Makefile's test target): keeps
 * every shared library loaded until the process ends. Mesa unloads driver
 * libraries at teardown, and the leak checker then reports their allocations
 * as "<unknown module>", which no suppression can name. */
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
