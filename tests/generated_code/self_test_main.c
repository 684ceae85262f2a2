/* Runs the known-answer self-tests that kqhost generate --self-test wrote, one line of report
 * each on standard output (on a Cortex-M board through semihosting, which is what a board's own
 * print function would be: a UART, a debugger). self_tests.inc, beside it, lists the models as
 * KQ_SELF_TEST(NAME) lines. Exits 0 when every self-test passed. C99. */
#include <stdio.h>

/* The list is written beside the generated code, not part of the tree. */
#define KQ_STRINGIFY_(x) #x
#define KQ_STRINGIFY(x) KQ_STRINGIFY_(x)
#define KQ_SELF_TEST_LIST KQ_STRINGIFY(self_tests.inc)

#define KQ_SELF_TEST(name) int name##_self_test(void (*print)(const char* line));
#include KQ_SELF_TEST_LIST
#undef KQ_SELF_TEST

static void kq_print_line(const char* line) {
    puts(line);
}

int main(void) {
    int failed = 0;
#define KQ_SELF_TEST(name) failed |= name##_self_test(kq_print_line) != 0;
#include KQ_SELF_TEST_LIST
#undef KQ_SELF_TEST
    return failed;
}
