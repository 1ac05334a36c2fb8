// Sanitizer settings of the display tests. Qt's Wayland platform leaves the objects of its
// connection to the compositor behind when a QApplication ends; the leak check passes over
// them by their library, which needs whole stacks (the fast unwinder stops at the first
// library built without frame pointers).
extern "C" {

const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

const char* __lsan_default_suppressions() {
  return "leak:libQt6WaylandClient.so\n"
         "leak:libxdg-shell.so\n"
         "leak:libEGL_mesa.so\n";
}

}  // extern "C"
