// Composes one event text, {"type":"...","param":{...}}, member by member. The writer places
// the commas between members and closes what is open, so a text it returns is always one whole
// object. Member names are the caller's literals; texts from the SDK pass through jsonsafe.
//
//   EventTextWriter event("KickOut");
//   event.Int("code", reason).Text("RoomID", roomID);
//   PostEvent(event.Finish().c_str());
//
// A member whose value is an array holding one object ("StreamInfo":[{...}]) is an item:
// OpenItem writes its name and "[{", the members that follow go into it, CloseItem writes "}]".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "JsonSafe.h"

namespace quorlane {

class EventTextWriter {
  public:
    // A member name: a literal, or a literal followed by a number (StreamInfo0, RtmpURL2).
    class Name {
      public:
        Name(const char* base) : base_(base) {}  // implicit: a literal is a name
        Name(const char* base, unsigned long long index)
            : base_(base), index_(index), indexed_(true) {}

      private:
        friend class EventTextWriter;
        const char* base_;
        unsigned long long index_ = 0;
        bool indexed_ = false;
    };

    explicit EventTextWriter(const char* type);
    EventTextWriter(const EventTextWriter&) = delete;
    EventTextWriter& operator=(const EventTextWriter&) = delete;

    EventTextWriter& Int(Name name, long long value);
    EventTextWriter& Unsigned(Name name, unsigned long long value);
    // Six digits after the point; NaN and infinities, which JSON cannot hold, as 0.
    EventTextWriter& Fixed(Name name, double value);
    // A JSON string made safe from `text` (read up to its zero byte or `limit` bytes).
    EventTextWriter& Text(Name name, const char* text, std::size_t limit = jsonsafe::kUnbounded);
    // The stream's extra information in brackets, as jsonsafe::AppendExtraInfo writes it.
    EventTextWriter& ExtraInfo(Name name, const char* text, std::size_t limit);

    EventTextWriter& OpenItem(Name name);
    EventTextWriter& CloseItem();

    // Closes the open items, the parameter object and the event, and hands the text over; the
    // writer has nothing left to give afterwards.
    std::string Finish();

  private:
    // The name of the next member, with a comma before it unless it is the first of its object.
    void Member(const Name& name);

    std::string text_;
    // One entry per open object (the parameter object, then each open item): whether a member
    // was written into it.
    std::vector<bool> hasMembers_;
};

}  // namespace quorlane
