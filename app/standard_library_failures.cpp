// The standard library's own failures (an index out of range, a string too long, an allocation
// too large) end the program at once, as the exception they would throw does: the program
// catches none. Given here, the library's versions, with the exception classes and the second
// string implementation those bring (about 40 KB), stay out of the program.
#include <cstdlib>

namespace std {

[[noreturn]] void __throw_bad_exception() {
  std::abort();
}
[[noreturn]] void __throw_bad_alloc() {
  std::abort();
}
[[noreturn]] void __throw_bad_array_new_length() {
  std::abort();
}
[[noreturn]] void __throw_bad_cast() {
  std::abort();
}
[[noreturn]] void __throw_bad_typeid() {
  std::abort();
}
[[noreturn]] void __throw_logic_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_domain_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
  std::abort();
}
[[noreturn]] void __throw_length_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_out_of_range(const char*) {
  std::abort();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
  std::abort();
}
[[noreturn]] void __throw_runtime_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_range_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_overflow_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_underflow_error(const char*) {
  std::abort();
}

}  // namespace std
