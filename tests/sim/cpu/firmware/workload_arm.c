/* The ARM-state half of the workload. Each result word is one check; the order of the
   words is the contract with the host test. */
#include "workload.h"

static uint32_t Xorshift(uint32_t* state) {
  uint32_t x = *state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  *state = x;
  return x;
}

uint32_t arm_scramble(uint32_t value) { return (value * 2654435761u) ^ (value >> 7); }

uint32_t swi_service(uint32_t number, uint32_t a, uint32_t b) { return number * 0x10001u + a * b - (a ^ b); }

static void QuickSort(uint32_t* v, int32_t low, int32_t high) {
  while (low < high) {
    const uint32_t pivot = v[(low + high) / 2];
    int32_t i = low, j = high;
    while (i <= j) {
      while (v[i] < pivot) ++i;
      while (v[j] > pivot) --j;
      if (i <= j) {
        const uint32_t t = v[i];
        v[i++] = v[j];
        v[j--] = t;
      }
    }
    if (j - low < high - i) {
      QuickSort(v, low, j);
      low = i;
    } else {
      QuickSort(v, i, high);
      high = j;
    }
  }
}

static uint32_t Fold(const uint32_t* v, uint32_t count) {
  uint32_t h = 0x811C9DC5u;
  for (uint32_t i = 0; i < count; ++i) h = (h ^ v[i]) * 16777619u;
  return h;
}

struct Record {
  uint32_t key;
  uint16_t small;
  int8_t tiny;
  uint8_t bytes[9];
};

static uint32_t RecordShuffle(uint32_t seed) {
  struct Record records[6];
  for (uint32_t i = 0; i < 6; ++i) {
    records[i].key = Xorshift(&seed);
    records[i].small = (uint16_t)(records[i].key >> 3);
    records[i].tiny = (int8_t)(records[i].key >> 11);
    for (uint32_t b = 0; b < sizeof records[i].bytes; ++b) records[i].bytes[b] = (uint8_t)(records[i].key >> b);
  }
  struct Record copy = records[5]; /* block copies */
  records[5] = records[0];
  records[0] = copy;
  uint32_t h = 0;
  for (uint32_t i = 0; i < 6; ++i) {
    const int32_t tiny = records[i].tiny;
    h = h * 33u + records[i].key + records[i].small + (uint32_t)tiny;
    for (uint32_t b = 0; b < sizeof records[i].bytes; ++b) h += (uint32_t)records[i].bytes[b] << (b & 7u);
  }
  return h;
}

static uint32_t StringWork(char* buffer, uint32_t size) {
  static const char kText[] = "Vantrel sim: the quick brown fox jumps over the lazy dog";
  uint32_t n = 0;
  while (kText[n] != '\0' && n + 1 < size) {
    buffer[n] = kText[n];
    ++n;
  }
  buffer[n] = '\0';
  for (uint32_t i = 0, j = n - 1; i < j; ++i, --j) { /* reverse in place */
    const char t = buffer[i];
    buffer[i] = buffer[j];
    buffer[j] = t;
  }
  return thumb_string_score(buffer) ^ (n << 24);
}

uint32_t run_workload(uint32_t* out) {
  uint32_t n = 0;
  uint32_t seed = 0x12345678u;

  uint8_t bytes[200];
  for (uint32_t i = 0; i < sizeof bytes; ++i) bytes[i] = (uint8_t)Xorshift(&seed);
  out[n++] = thumb_crc32(bytes, sizeof bytes);
  out[n++] = thumb_crc32(bytes + 3, 77);

  uint32_t words[40];
  for (uint32_t i = 0; i < 40; ++i) words[i] = Xorshift(&seed);
  QuickSort(words, 0, 39);
  out[n++] = Fold(words, 40);
  out[n++] = words[0];
  out[n++] = words[39];

  int32_t signedValues[25];
  for (uint32_t i = 0; i < 25; ++i) signedValues[i] = (int32_t)(Xorshift(&seed) % 2001u) - 1000;
  thumb_sort(signedValues, 25);
  out[n++] = Fold((const uint32_t*)signedValues, 25);

  /* Operands come from the generator so that the compiler cannot fold the helpers away. */
  static const int32_t kDividends[] = {1000000007, -1000000007, 77, -5, 0x7FFFFFFF, -2147483647};
  static const int32_t kDivisors[] = {3, 7, -13, 1000, -2, 65536};
  for (uint32_t i = 0; i < 6; ++i) {
    const int32_t a = kDividends[i] ^ (int32_t)(Xorshift(&seed) & 0xFFu);
    const int32_t b = kDivisors[i] ^ (int32_t)(Xorshift(&seed) & 0x10u);
    out[n++] = (uint32_t)(a / b) ^ ((uint32_t)(a % b) << 16) ^ ((uint32_t)a / (uint32_t)b);
    out[n++] = thumb_divide_mix(a, b);
  }

  const uint64_t x = ((uint64_t)Xorshift(&seed) << 32) | Xorshift(&seed);
  const uint64_t y = ((uint64_t)Xorshift(&seed) << 32) | Xorshift(&seed);
  const uint64_t product = x * y;
  out[n++] = (uint32_t)product;
  out[n++] = (uint32_t)(product >> 32);
  const int32_t f1 = (int32_t)Xorshift(&seed), f2 = (int32_t)Xorshift(&seed);
  const int64_t signedProduct = (int64_t)f1 * (int64_t)f2 + (int64_t)f2;
  out[n++] = (uint32_t)signedProduct;
  out[n++] = (uint32_t)((uint64_t)signedProduct >> 32);
  const uint64_t wideProduct = (uint64_t)(uint32_t)f1 * (uint32_t)f2 + x;
  out[n++] = (uint32_t)wideProduct ^ (uint32_t)(wideProduct >> 32);
  const uint64_t divisor = (y >> (Xorshift(&seed) & 31u)) | 1u;
  const uint64_t quotient = x / divisor;
  out[n++] = (uint32_t)quotient ^ (uint32_t)(quotient >> 32) ^ (uint32_t)(x % divisor);
  const int64_t signedQuotient = (int64_t)signedProduct / (int64_t)(int32_t)(Xorshift(&seed) | 1u);
  out[n++] = (uint32_t)signedQuotient ^ (uint32_t)((uint64_t)signedQuotient >> 32);
  for (uint32_t s = 0; s < 64; s += 9) {
    const uint64_t w = thumb_wide_mix(x ^ ((uint64_t)s << 40), s);
    out[n++] = (uint32_t)w ^ (uint32_t)(w >> 32);
  }

  int16_t halves[30];
  for (uint32_t i = 0; i < 30; ++i) halves[i] = (int16_t)(uint16_t)Xorshift(&seed);
  out[n++] = thumb_halfword_sum(halves, 30);

  out[n++] = thumb_apply(arm_scramble, 99, 12);
  out[n++] = RecordShuffle(seed);

  char text[80];
  out[n++] = StringWork(text, sizeof text);
  return n;
}
