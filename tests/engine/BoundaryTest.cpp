// What is thrown at an engine's boundary (by the module's own code or by the program's
// observer) ends as one logged, counted error of the run, whatever its kind, and a thrown
// CTavException* is released.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tavengine/TavEngine.h"
#include "tavengine/TavEngineObserver.h"
#include "tavrep/TavException.h"

namespace {

// A repository exception that counts its living objects, so that a leak shows.
class CCountedException : public CTavException {
public:
    CCountedException() : CTavException(TAVEX_READ_BLOCK, 0, "ReadBlock") { ++live; }
    ~CCountedException() override { --live; }
    static inline int live = 0;
};

struct ThrownKind {
    const char* name;
    std::function<void()> raise;
    const char* logged;  // what the log line names
};

const std::vector<ThrownKind>& Kinds() {
    static const std::vector<ThrownKind> kinds = {
        {"repository exception", [] { throw static_cast<CTavException*>(new CCountedException); },
         "ReadBlock: a block could not be read"},
        {"standard exception", [] { throw std::runtime_error("disk on fire"); }, "disk on fire"},
        {"anything else", [] { throw 42; }, "unexpected failure"},
    };
    return kinds;
}

// An engine whose operation throws what it is told, caught at its boundary.
class CThrowingEngine : public CTavEngine {
public:
    std::function<void()> raise;
    int32_t Backup(const std::string&, CTavRepository*, CTavRepBaselineDetails*) override {
        try {
            FireOnStart();
            if (raise) raise();
            return 1;
        } catch (...) {
            LogThrown("Backup stopped: %s\r\n");
            return 0;
        }
    }
    int32_t Restore(const std::string&, CTavRepository*) override { return 0; }
    void CancelOperation() override {}
};

class CRecordingObserver : public CTavEngineObserver {
public:
    std::function<void()> raiseOnStart;
    std::vector<std::string> lines;
    void OnTavEngineStart(CTavEngine*) override {
        if (raiseOnStart) raiseOnStart();
    }
    void OnTavEngineLogNotify(CTavEngine*, const std::string& text) override { lines.push_back(text); }
};

// Thrown by the engine's own code the run fails; thrown by the observer it goes on. Either
// way the log gets one line naming the failure.
TEST(BoundaryTest, ThrowingEachKindFromTheEngineOrItsObserverIsOneLoggedCountedError) {
    for (bool fromObserver : {false, true})
        for (const ThrownKind& kind : Kinds()) {
            SCOPED_TRACE(std::string(kind.name) + (fromObserver ? " (observer)" : " (engine)"));
            CThrowingEngine engine;
            CRecordingObserver observer;
            (fromObserver ? observer.raiseOnStart : engine.raise) = kind.raise;
            engine.SubscribeNotify(&observer);
            EXPECT_EQ(engine.Backup({}, nullptr, nullptr), fromObserver ? 1 : 0);
            EXPECT_EQ(engine.GetThrownCount(), 1u);
            ASSERT_EQ(observer.lines.size(), 1u);
            const std::string expected =
                fromObserver ? kind.logged : std::string("Backup stopped: ") + kind.logged;
            const size_t at = observer.lines[0].find(expected);
            EXPECT_TRUE(fromObserver ? at != std::string::npos : at == 0) << observer.lines[0];
            EXPECT_EQ(CCountedException::live, 0);
        }

    // An observer whose log call throws as well: counted, never recursing or escaping.
    class CBrokenObserver : public CTavEngineObserver {
    public:
        void OnTavEngineStart(CTavEngine*) override { throw std::runtime_error("start"); }
        void OnTavEngineLogNotify(CTavEngine*, const std::string&) override {
            throw static_cast<CTavException*>(new CCountedException);
        }
    };
    CThrowingEngine engine;
    CBrokenObserver observer;
    engine.SubscribeNotify(&observer);
    EXPECT_EQ(engine.Backup({}, nullptr, nullptr), 1);
    EXPECT_EQ(engine.GetThrownCount(), 1u);
    EXPECT_EQ(CCountedException::live, 0);
}

}  // namespace
