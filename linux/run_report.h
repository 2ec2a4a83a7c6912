// SPDX-License-Identifier: BSD-2-Clause-Patent
// What --json prints: one JSON object that says what an unattended run did,
// made from the outcome the application hands to Exit and from the variables
// as the run left them.
#pragma once
#include <string>
#include <vector>

#include "efi.h"

struct RunReport {
  const char *Result;  // "created", "unchanged", "dry-run" or "failed"
  bool HasNumber;      // a number was chosen or found; else variable and number are null
  UINT16 Number;
  // The record written, found or shown; empty when the run ended before one.
  std::vector<UINT8> LoadOption;
  std::vector<UINT16> BootOrder;  // as the run left it
  bool BootNext;                  // BootNext names Number
  std::u16string Message;         // the run's closing line
};

// The object on one line, without the line's end.
std::string RunReportJson(const RunReport &Report);

// A JSON string literal of Text, quotes included: UTF-16 as UTF-8, every
// control character escaped, and a lone surrogate as its \u escape.
std::string JsonString(const std::u16string &Text);

// Device paths as EDK2's text: HD() and file path nodes by name, every other
// node as Path(type,subtype,hex). One text per instance.
std::vector<std::u16string> DevicePathTexts(const UINT8 *Paths, UINTN Size);
