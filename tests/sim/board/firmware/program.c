/* The program OpenOCD loads into the simulated board: calls a Thumb function through
 * interworking, then loops through two functions that the test breaks on. */
volatile unsigned int counter;
volatile unsigned int result;

unsigned int thumb_sum(unsigned int n);

__attribute__((noinline)) void hw_break_here(void) { counter += 1; }
__attribute__((noinline)) void sw_break_here(void) { counter += 2; }

int main(void) {
  result = thumb_sum(10);
  for (;;) {
    hw_break_here();
    sw_break_here();
  }
}
