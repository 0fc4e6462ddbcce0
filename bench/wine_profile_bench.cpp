// The platform's own profile readers, timed on the cases profile_bench reads
// (built for Windows, run under Wine by bench/run):
//
//   wine_profile_bench CASES
//
// prints one line a measurement: name, kind (Section/Warm, String/Warm,
// Section/Cold), nanoseconds per call and the call's return value. A batch of
// calls lasts at least 50 ms; of five batches the median is taken. "Cold"
// first releases the reader's kept copy of the file (the documented flush:
// WritePrivateProfileStringA with everything null but the file name).
#include <windows.h>

#include "bench/profile_cases.h"

#include <algorithm>
#include <cstdio>

namespace {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

// Nanoseconds per call of `call`, the median of five batches.
template <typename Call>
double Measure(Call call) {
  call();
  long long n = 1;
  for (;;) {  // the batch size that lasts 50 ms
    const double start = Now();
    for (long long i = 0; i < n; ++i) call();
    const double took = Now() - start;
    if (took >= 0.05) break;
    n = took <= 0.005 ? n * 10 : static_cast<long long>(n * 0.06 / took) + 1;
  }
  double batches[5];
  for (double& b : batches) {
    const double start = Now();
    for (long long i = 0; i < n; ++i) call();
    b = (Now() - start) / static_cast<double>(n) * 1e9;
  }
  std::sort(batches, batches + 5);
  return batches[2];
}

char g_section[bench::kBenchSectionCapacity];
char g_value[bench::kBenchValueCapacity];

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wine_profile_bench CASES\n");
    return 2;
  }
  const std::vector<bench::ProfileCase> cases = bench::ReadProfileCases(argv[1]);
  if (cases.empty()) {
    std::fprintf(stderr, "wine_profile_bench: no cases in %s\n", argv[1]);
    return 2;
  }
  for (const bench::ProfileCase& c : cases) {
    const char* path = c.path.c_str();
    DWORD ret = 0;
    double ns = Measure([&] { ret = GetPrivateProfileSectionA(c.section.c_str(), g_section, sizeof g_section, path); });
    std::printf("%s\tSection/Warm\t%.1f\t%lu\n", c.name.c_str(), ns, static_cast<unsigned long>(ret));
    ns = Measure([&] {
      ret = GetPrivateProfileStringA(c.section.c_str(), c.key.c_str(), "", g_value, sizeof g_value, path);
    });
    std::printf("%s\tString/Warm\t%.1f\t%lu\n", c.name.c_str(), ns, static_cast<unsigned long>(ret));
    ns = Measure([&] {
      WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
      ret = GetPrivateProfileSectionA(c.section.c_str(), g_section, sizeof g_section, path);
    });
    std::printf("%s\tSection/Cold\t%.1f\t%lu\n", c.name.c_str(), ns, static_cast<unsigned long>(ret));
    std::fflush(stdout);
  }
  return 0;
}
