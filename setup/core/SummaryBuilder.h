// The ready page's summary: lines grouped under titles; a title without lines never shows.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace Setup::Core {

class TSetupSummaryBuilder {
public:
  // Looks up a language text by section and key (variables expanded).
  using TTextLookup = std::function<std::string(std::string_view section, std::string_view key)>;

  TSetupSummaryBuilder() = default;
  explicit TSetupSummaryBuilder(TTextLookup texts) : texts_(std::move(texts)) {}

  // The title of the group that the next line opens; replaces a title that got no line.
  void BeginGroup(std::string_view title) { pendingTitle_ = title; }
  void BeginGroup(std::string_view section, std::string_view key) { BeginGroup(Text(section, key)); }
  void AddLine(std::string_view text);
  void AddLine(std::string_view section, std::string_view key) { AddLine(Text(section, key)); }

  // Every line ends in CR LF; groups are separated by one empty line.
  const std::string& ToString() const { return text_; }

private:
  std::string Text(std::string_view section, std::string_view key) const {
    return texts_ ? texts_(section, key) : std::string();
  }

  std::string text_;
  std::string pendingTitle_;
  TTextLookup texts_;
};

} // namespace Setup::Core
