// The system's exception object. Loading, parsing and allocation failures are thrown as a
// CoreAnsx and caught by the operation that started the work; nothing reaches the host.
#pragma once

#include <exception>
#include <string>

class CoreAnsx : public std::exception {
 public:
  CoreAnsx() = default;                                          // [any]
  explicit CoreAnsx(std::string text) : text_(std::move(text)) {}  // [any]
  const char* what() const noexcept override { return text_.c_str(); }  // [any]
  const std::string& text() const { return text_; }               // [any]

 private:
  std::string text_;
};
