/* Thumb state: 1 + 2 + ... + n. */
unsigned int thumb_sum(unsigned int n) {
  unsigned int sum = 0;
  for (unsigned int i = 1; i <= n; ++i) sum += i;
  return sum;
}
