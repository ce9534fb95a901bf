#include "src/EventTextWriter.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <string>

namespace quorlane {

namespace {

TEST(EventTextWriter, PlacesCommasAndClosesWhatIsOpen) {
    EventTextWriter event("T");
    event.Int("a", -1).OpenItem("L").OpenItem({"I", 0}).CloseItem().Text({"I", 12}, "x\"y");
    event.CloseItem().OpenItem("Empty").CloseItem().CloseItem();  // the extra close is ignored
    event.Unsigned("u", std::numeric_limits<unsigned long long>::max()).OpenItem("Open");
    event.Fixed("f", 1.5).Fixed("nan", std::numeric_limits<double>::quiet_NaN());
    const std::string text = event.Finish();
    EXPECT_EQ(text,
              "{\"type\":\"T\",\"param\":{\"a\":-1,\"L\":[{\"I0\":[{}],\"I12\":\"x\\\"y\"}],"
              "\"Empty\":[{}],\"u\":18446744073709551615,"
              "\"Open\":[{\"f\":1.500000,\"nan\":0.000000}]}}");
    EXPECT_TRUE(nlohmann::json::accept(text)) << text;

    EXPECT_EQ(EventTextWriter("E").Finish(), "{\"type\":\"E\",\"param\":{}}");
}

}  // namespace

}  // namespace quorlane
