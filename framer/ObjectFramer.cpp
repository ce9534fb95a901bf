#include "framer/ObjectFramer.h"

namespace qframer {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

void ObjectFramer::Reset() {
    pending_.clear();
    depth_ = 0;
    inString_ = false;
    escaped_ = false;
}

void ObjectFramer::Feed(const char* data, std::size_t n, std::vector<std::string>& objects,
                        Skipped* skipped) {
    for (std::size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (depth_ == 0) {
            if (c == '{') {
                pending_.assign(1, c);
                depth_ = 1;
            } else if (!IsBlank(c) && skipped != nullptr) {
                skipped->outside.push_back(c);
            }
            continue;
        }

        pending_.push_back(c);
        if (inString_) {
            if (escaped_) {
                escaped_ = false;
            } else if (c == '\\') {
                escaped_ = true;
            } else if (c == '"') {
                inString_ = false;
            }
        } else if (c == '"') {
            inString_ = true;
        } else if (c == '{') {
            ++depth_;
        } else if (c == '}') {
            --depth_;
        }

        if (pending_.size() > kMaxObjectBytes) {
            if (skipped != nullptr) {
                skipped->dropped.push_back(pending_.substr(0, kDroppedPrefixBytes));
            }
            Reset();
        } else if (depth_ == 0) {
            objects.push_back(std::move(pending_));
            Reset();
        }
    }
}

}  // namespace qframer
