// Conversions between the program's UTF-8 and the windows' UTF-16.
#include "win32/wide_text.h"

#include <filesystem>

#include "jobs/display_text.h"

namespace korva::win32 {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::wstring Shown(std::string_view bytes) { return Wide(DisplayText(bytes)); }

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetTextIfDifferent(HWND window, const std::wstring& text) {
  if (window && WindowText(window) != text) SetWindowTextW(window, text.c_str());
}

namespace {

// The path as one byte per character, when each fits in one.
bool ToSingleBytes(std::wstring_view path, std::string& bytes) {
  bytes.clear();
  for (wchar_t c : path) {
    if (c > 0xFF) return false;
    bytes += static_cast<char>(c);
  }
  return true;
}

}  // namespace

std::string FileSystemPath(const std::wstring& path) {
  std::string bytes;
  if (ToSingleBytes(path, bytes)) return bytes;
  std::wstring shortPath(static_cast<std::size_t>(MAX_PATH), L'\0');
  const DWORD length =
      GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (length == 0 || length >= shortPath.size()) return {};
  shortPath.resize(length);
  return ToSingleBytes(shortPath, bytes) ? bytes : std::string();
}

std::wstring ShownPath(std::string_view path) {
  std::wstring wide;
  for (char c : path) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

std::wstring ProgramName() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
         path.size()) {
    path.resize(path.size() * 2);  // cut short: a longer path
  }
  path.resize(length);
  return std::filesystem::path(path).stem().wstring();
}

}  // namespace korva::win32
