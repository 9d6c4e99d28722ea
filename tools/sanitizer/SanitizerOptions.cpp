// Default options of the sanitizer runtimes for the programs of the
// sanitizer build. The runtimes call these functions at start-up; options
// given in ASAN_OPTIONS, LSAN_OPTIONS or UBSAN_OPTIONS still take precedence.

extern "C" {

__attribute__((visibility("default"), used)) const char* __asan_default_options() {
    // System libraries keep some memory until exit; the leak check still
    // runs, with the suppressions below. (No strict string checks: the X
    // keyboard library copies names from X replies that are not
    // zero-terminated, with strndup, which is correct.)
    return "detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1";
}

__attribute__((visibility("default"), used)) const char* __lsan_default_options() {
    return "suppressions=" TAMARIND_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

__attribute__((visibility("default"), used)) const char* __ubsan_default_options() {
    return "print_stacktrace=1";
}

}
