// The plug-in as the module hub sees it: its descriptor and its engine entry point.
#include <gtest/gtest.h>

#include "core/OeRecords.h"
#include "core/TavOeEngine.h"
#include "tavengine/TavModFactory.h"

namespace {

TEST(OeModuleEntryTest, TheHubLoadsTheModuleAndItsEngine) {
    CTavModFactory hub(60000);
    ASSERT_GE(hub.Reconnoiter({OE_MODULE_DIR}), 1);
    const TavModDesc* oe = hub.GetModDesc("OE");
    ASSERT_NE(oe, nullptr);
    EXPECT_EQ(oe->name, "oe");
    EXPECT_EQ(oe->title, "Outlook Express");
    EXPECT_EQ(oe->rootId, OE_TAG_ROOT);
    EXPECT_EQ(hub.GetModDesc(OE_TAG_ROOT), oe);
    for (const TavModControl* control : {&oe->jobControl, &oe->repControl}) {
        EXPECT_TRUE(control->present);
        ASSERT_EQ(control->commands.size(), 1u);
        EXPECT_EQ(control->commands[0].moduleCmdId, 1u);
        EXPECT_EQ(control->commands[0].title, "View Dbx Contents");
    }

    ASSERT_NE(oe->createEngine, nullptr);
    CTavEngine* engine = oe->createEngine();
    ASSERT_NE(engine, nullptr);
    EXPECT_NE(dynamic_cast<CTavOeEngine*>(engine), nullptr);
    EXPECT_EQ(engine->GetEngineState(), TAV_ENGINE_RUNNING);
    engine->Dispose();
    hub.ReleaseModules();
}

}  // namespace
