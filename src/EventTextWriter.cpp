#include "EventTextWriter.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace quorlane {
namespace {

template <typename Value>
void AppendFormatted(std::string& out, const char* format, Value value) {
    char digits[400];  // the largest double prints 309 digits before the point
    const int n = std::snprintf(digits, sizeof digits, format, value);
    out.append(digits, static_cast<std::size_t>(n));
}

}  // namespace

EventTextWriter::EventTextWriter(const char* type) {
    text_ = "{\"type\":\"";
    text_ += type;
    text_ += "\",\"param\":{";
    hasMembers_.push_back(false);
}

void EventTextWriter::Member(const Name& name) {
    if (hasMembers_.back())
        text_ += ',';
    hasMembers_.back() = true;
    text_ += '"';
    text_ += name.base_;
    if (name.indexed_)
        AppendFormatted(text_, "%llu", name.index_);
    text_ += "\":";
}

EventTextWriter& EventTextWriter::Int(Name name, long long value) {
    Member(name);
    AppendFormatted(text_, "%lld", value);
    return *this;
}

EventTextWriter& EventTextWriter::Unsigned(Name name, unsigned long long value) {
    Member(name);
    AppendFormatted(text_, "%llu", value);
    return *this;
}

EventTextWriter& EventTextWriter::Fixed(Name name, double value) {
    Member(name);
    AppendFormatted(text_, "%f", std::isfinite(value) ? value : 0.0);
    return *this;
}

EventTextWriter& EventTextWriter::Text(Name name, const char* text, std::size_t limit) {
    Member(name);
    text_ += '"';
    jsonsafe::AppendJsonSafe(text_, text, limit);
    text_ += '"';
    return *this;
}

EventTextWriter& EventTextWriter::ExtraInfo(Name name, const char* text, std::size_t limit) {
    Member(name);
    jsonsafe::AppendExtraInfo(text_, text, limit);
    return *this;
}

EventTextWriter& EventTextWriter::OpenItem(Name name) {
    Member(name);
    text_ += "[{";
    hasMembers_.push_back(false);
    return *this;
}

EventTextWriter& EventTextWriter::CloseItem() {
    if (hasMembers_.size() > 1) {
        hasMembers_.pop_back();
        text_ += "}]";
    }
    return *this;
}

std::string EventTextWriter::Finish() {
    while (hasMembers_.size() > 1)
        CloseItem();
    text_ += "}}";
    return std::move(text_);
}

}  // namespace quorlane
