// What the benchmarks share: a clock, the statistics they print, and the cost of one call to the
// wine server, which every file, handle and registry call pays here and which swings with the
// machine's load (so each benchmark prints it beside its figures).
#pragma once
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

inline double Seconds()
{
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

inline double Median(std::vector<double> Values)
{
  std::sort(Values.begin(), Values.end());
  const size_t n = Values.size();
  return n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

// The median of the ratios A[i] / B[i] of runs made in turn.
inline double MedianRatio(const std::vector<double>& A, const std::vector<double>& B)
{
  std::vector<double> ratios;
  for (size_t i = 0; i < A.size(); ++i)
    ratios.push_back(A[i] / B[i]);
  return Median(ratios);
}

inline double Min(const std::vector<double>& Values) { return *std::min_element(Values.begin(), Values.end()); }

// One call to the wine server (or the kernel), timed over many.
inline double RoundTripSeconds()
{
  struct TCloser {
    void operator()(HANDLE H) const { CloseHandle(H); }
  };
  std::unique_ptr<void, TCloser> event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const int calls = 2000;
  const double start = Seconds();
  for (int i = 0; i < calls; ++i)
    ResetEvent(event.get());
  return (Seconds() - start) / calls;
}
