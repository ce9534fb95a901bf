// Runs parse and copy operations with one chosen heap allocation failing, and checks that each
// either completes or fails cleanly: the documented exception, no leak, the target unchanged.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "json/Json.h"

using qjson::Json;

namespace {

long allocationsUntilFailure = -1;  // the allocation that fails when this reaches 0; -1: none
long liveAllocations = 0;

void* Allocate(std::size_t size) {
    if (allocationsUntilFailure >= 0 && allocationsUntilFailure-- == 0) {
        throw std::bad_alloc();
    }
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    ++liveAllocations;
    return memory;
}

void Release(void* memory) {
    if (memory != nullptr) {
        --liveAllocations;
        std::free(memory);
    }
}

enum class Outcome { Completed, SyntaxError, OutOfMemory };

struct Result {
    Outcome outcome;
    long leaked;
};

// Runs action with allocation number failingAllocation (0-based) failing.
template <typename Action>
Result RunWithFailure(long failingAllocation, Action action) {
    const long liveBefore = liveAllocations;
    Outcome outcome = Outcome::Completed;
    allocationsUntilFailure = failingAllocation;
    try {
        action();
    } catch (const Json::UnexpectedTokenException&) {
        outcome = Outcome::SyntaxError;
    } catch (const std::bad_alloc&) {
        outcome = Outcome::OutOfMemory;
    }
    allocationsUntilFailure = -1;
    return {outcome, liveAllocations - liveBefore};
}

TEST(JsonAllocationFailure, ParseFailsCleanlyAtEveryAllocation) {
    const char* text =
        "{\"type\":\"SendRoomMessage\",\"param\":{\"content\":\"a message long enough for the "
        "heap\",\"list\":[1,true,null,[\"x\"]]}}";
    const std::string expected = Json(text).toString();

    bool sawSyntaxError = false;
    for (long failing = 0;; ++failing) {
        bool same = false;
        Result result = RunWithFailure(failing, [&] { same = Json(text).toString() == expected; });
        ASSERT_EQ(result.leaked, 0) << "allocation " << failing;
        if (result.outcome == Outcome::Completed) {
            EXPECT_TRUE(same);
            break;
        }
        if (failing == 0) {
            // The top-level object's own map: outside any container.
            EXPECT_EQ(result.outcome, Outcome::OutOfMemory);
        } else if (result.outcome == Outcome::SyntaxError) {
            sawSyntaxError = true;
        }
        ASSERT_LT(failing, 1000) << "never completed";
    }
    EXPECT_TRUE(sawSyntaxError) << "failures inside containers must become syntax errors";
}

TEST(JsonAllocationFailure, TopLevelScalarReportsOutOfMemory) {
    const std::string text = "\"" + std::string(200, 'x') + "\"";
    Result result = RunWithFailure(0, [&] { Json value(text.c_str()); });
    EXPECT_EQ(result.outcome, Outcome::OutOfMemory);
    EXPECT_EQ(result.leaked, 0);
}

TEST(JsonAllocationFailure, CopyAndAssignmentLeaveTargetUnchanged) {
    const Json source("{\"a\":[1,2,{\"b\":\"a string too long for small storage\"}],\"c\":{}}");
    for (long failing = 0;; ++failing) {
        Json target("[\"old\"]");
        const long liveBefore = liveAllocations;
        Result copied = RunWithFailure(failing, [&] { Json copy(source); });
        ASSERT_EQ(copied.leaked, 0) << "allocation " << failing;
        Result assigned = RunWithFailure(failing, [&] { target = source; });
        if (assigned.outcome == Outcome::Completed) {
            EXPECT_EQ(target.toString(), source.toString());
            EXPECT_EQ(copied.outcome, Outcome::Completed);
            break;
        }
        EXPECT_EQ(assigned.outcome, Outcome::OutOfMemory);
        EXPECT_EQ(target.toString(), "[ \"old\" ]");
        EXPECT_EQ(liveAllocations, liveBefore) << "allocation " << failing;
        ASSERT_LT(failing, 1000) << "never completed";
    }
}

TEST(JsonAllocationFailure, SubscriptLeavesObjectUnchanged) {
    Json object("{\"a\":1}");
    for (long failing = 0;; ++failing) {
        Result result = RunWithFailure(failing, [&] { object["a key longer than small storage"]; });
        if (result.outcome == Outcome::Completed) {
            break;
        }
        ASSERT_EQ(result.leaked, 0);
        EXPECT_EQ(result.outcome, Outcome::OutOfMemory);
        EXPECT_EQ(object.toString(), "{ \"a\": 1 }");
    }
    EXPECT_EQ(object.toString(), "{ \"a\": 1, \"a key longer than small storage\": null }");
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* memory) noexcept {
    Release(memory);
}
void operator delete[](void* memory) noexcept {
    Release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    Release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    Release(memory);
}
