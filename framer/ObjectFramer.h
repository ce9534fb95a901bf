// Cuts a byte stream into top-level JSON objects: the bridge writes its replies and events on
// descriptor 4 back to back with nothing between them, so a host feeds whatever it reads there
// into one framer and handles each complete object it hands back. The bridge frames the
// commands on descriptor 3 the same way. Link the library qframer; it needs nothing else.
//
//   qframer::ObjectFramer framer;
//   std::vector<std::string> objects;
//   qframer::ObjectFramer::Skipped skipped;
//   while ((count = read(fromBridge, buffer, sizeof buffer)) > 0) {  // the host's end of fd 4
//       framer.Feed(buffer, count, objects, &skipped);  // appends each complete object
//       for (const std::string& text : objects) { /* one reply or event */ }
//       objects.clear();
//   }
//
// It knows strings and escapes, counts brace depth and keeps an incomplete object across feeds.
// Bytes outside any object are skipped (blanks silently, the rest reported). An object that
// stays incomplete past kMaxObjectBytes is dropped (its first bytes reported) and framing starts
// afresh at depth 0 with the next byte.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qframer {

class ObjectFramer {
  public:
    static const std::size_t kMaxObjectBytes = 16 * 1024;
    // How many leading bytes of a dropped object are kept for the report.
    static const std::size_t kDroppedPrefixBytes = 64;

    struct Skipped {
        // Bytes other than blanks (space, tab, CR, LF) found outside any object, in order.
        std::string outside;
        // The first kDroppedPrefixBytes bytes of each object dropped for its length.
        std::vector<std::string> dropped;

        bool Empty() const { return outside.empty() && dropped.empty(); }
        void Clear() {
            outside.clear();
            dropped.clear();
        }
    };

    ObjectFramer() = default;

    // Consumes `n` bytes. Appends every object completed by them to `objects`; appends skipped
    // bytes and dropped prefixes to `*skipped` when it is not null.
    void Feed(const char* data, std::size_t n, std::vector<std::string>& objects, Skipped* skipped);

    // Bytes of the incomplete object held for the next feed.
    std::size_t PendingBytes() const { return pending_.size(); }

    // Forgets any incomplete object.
    void Reset();

  private:
    std::string pending_;
    int depth_ = 0;
    bool inString_ = false;
    bool escaped_ = false;
};

}  // namespace qframer
