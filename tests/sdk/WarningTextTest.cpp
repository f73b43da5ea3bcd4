// The driver warning's message: the format and the driver name come from
// outside (a resource library, the registry), so neither may steer the
// formatting or overflow the 520-byte message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "WarningText.h"

namespace {

const char* const kFormat131 =
    "%s has detected the following untrusted keyboard driver: %s. More detail on the error is available in the "
    "Event Viewer under Manage in the toolbar. %s is operating in Warn mode with the status indicator set to "
    "orange, as shown below.";

std::string Format(const char* format, const char* driver, size_t size = 520, const char* product = "Varnel") {
    const char* args[] = {product, driver, product};
    std::string out(size + 16, '\x5A');
    size_t length = vnl::FormatWarningText(format, args, 3, out.data(), size);
    for (size_t i = size; i < out.size(); ++i) EXPECT_EQ(out[i], '\x5A') << "wrote past the buffer at " << i;
    EXPECT_EQ(length, std::strlen(out.c_str()));
    return out.c_str();
}

TEST(WarningText, FillsTheProductNameTwiceAndTheDriverName) {
    EXPECT_EQ(Format(kFormat131, "kbdhook"),
              "Varnel has detected the following untrusted keyboard driver: kbdhook. More detail on the error is "
              "available in the Event Viewer under Manage in the toolbar. Varnel is operating in Warn mode with the "
              "status indicator set to orange, as shown below.");
}

TEST(WarningText, HostileInputStaysText) {
    struct Case { const char* label; const char* format; const char* driver; std::string expected; };
    const Case cases[] = {
        {"driver name with format characters", "[%s|%s|%s]", "%s%n%x%%", "[Varnel|%s%n%x%%|Varnel]"},
        {"format with more places than arguments", "%s %s %s %s.", "k", "Varnel k Varnel ."},
        {"other conversions copied as they stand", "%d %n %x %s", "k", "%d %n %x Varnel"},
        {"escaped percent and a trailing one", "100%% %s%", "k", "100% Varnel%"},
        {"empty format", "", "k", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Format(c.format, c.driver), c.expected);
    }
}

// The longest name the driver list holds, with the longest product name a
// 260-byte string gives: the message is cut to its 520 bytes.
TEST(WarningText, LongNamesAreCutAtTheBuffer) {
    const std::string name(259, 'n');
    const std::string product(259, 'P');
    std::string text = Format(kFormat131, name.c_str(), 520, product.c_str());
    ASSERT_EQ(text.size(), 519u);
    const std::string head = product + " has detected the following untrusted keyboard driver: ";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(head.size()), std::string(519 - head.size(), 'n'));
    EXPECT_EQ(Format(kFormat131, name.c_str(), 1), "");
}

}  // namespace
