// The scenario: what the engine answers, request by request. The file format is described in
// README.md.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A GBK text in which the running page number goes between the pieces ("{n}" in the file).
struct TTextTemplate {
  std::vector<std::string> Pieces{std::string()};
  bool HasPageNumber() const { return Pieces.size() > 1; }
  std::string Expand(int PageNumber) const;
};

enum class TImageKind { Draw, None, File };

enum : int { kInfoFields = 8 };

struct TRequest {
  bool Page = false;  // a delivered page; otherwise a status alone
  bool Fault = false;  // no answer: an access violation inside FpGetNewPage
  int Status = 0;
  int DelayMs = 0;
  int Repeat = 1;
  TTextTemplate ImagePath;
  TTextTemplate Info[kInfoFields];  // Info[0] is Info1
  TImageKind Image = TImageKind::Draw;
  std::vector<uint8_t> ImageBytes;  // for TImageKind::File: that file's bytes
};

struct TScenario {
  int InitResult = 0;
  bool FaultInTerminate = false;  // once a request faulted, FpScannerTerminate faults too
  std::string FaultingCall;       // a function that faults whenever it is called ("" for none)
  std::vector<TRequest> Requests;
};

// Reads and parses the scenario file Path (GBK). DefaultImagePath is the image-path of a page that
// names none. Raises std::runtime_error (UTF-8 text: the file, the line number, the reason and the
// line) when the file cannot be read or does not parse.
TScenario LoadScenario(const std::string& Path, const std::string& DefaultImagePath);
