// Text utilities shared by every part of the program. Strings are byte strings; positions
// are 1-based and 0 means "not found"; ASCII upper-casing folds only a to z.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/UiHooks.h"

std::string PickStr(bool flag, const std::string& ifTrue, const std::string& ifFalse);
int FindInStrArray(const std::string& s, const std::vector<std::string>& items, bool caseSensitive);
bool IsInStrArray(const std::string& s, const std::vector<std::string>& items, bool caseSensitive);
std::string TrimTrailingChars(const std::string& s, const std::string& charSet);
// Appends one NUL when s is shorter than 255 and does not already end in NUL; returns
// a pointer to s's own characters.
char* NulTerminatedBuf(std::string& s);
const char* StrAsPChar(const std::string& s);
std::string WithPrefix(const std::string& s, const std::string& prefix);
// Splits at the first occurrence of sep; s may alias before or after.
void SplitAtFirst(const std::string& s, const std::string& sep, std::string& before,
                  std::string& after);
// Now in UTC as ISO 8601 writes it: "2026-12-08T06:20:00Z".
std::string UtcTimestamp();
std::string AsciiUpper(std::string s);
std::string AsciiLower(std::string s);
bool IsLineBlank(char c);  // space, tab, CR or LF
// s without the blanks (space, tab, CR, LF) at either end.
std::string TrimBlanks(const std::string& s);
std::size_t PosIgnoreCase(const std::string& sub, const std::string& s);
std::size_t PosCaseOpt(const std::string& sub, const std::string& s, bool caseSensitive);
std::string SubstituteStr(const std::string& s, const std::string& oldText,
                          const std::string& newText, bool all, bool caseSensitive);
std::string DoubleQuote(const std::string& s);
std::string JoinNonEmpty(const std::string& a, const std::string& b, const std::string& sep);

// "Error %04X: %s"; a negative code shows as its 32-bit two's complement.
std::string ErrorCodeText(std::int64_t code, const std::string& text);
void ShowMsgDlg(UiHooks& ui, DlgType type, const std::string& msg);
void ShowErrorCode(UiHooks& ui, std::int64_t code, const std::string& text);

std::string ChangeExtension(const std::string& fileName, const std::string& ext);
// The running program file's full path.
std::string ProgramFile();
std::string ProgramFileWithExt(const std::string& ext);
// The Info tab's lines: the information text file's lines, or the single line
// "Could not find " and the file's full path.
std::vector<std::string> LoadInfoText(const std::string& fileName);
std::vector<std::string> LoadInfoText();
