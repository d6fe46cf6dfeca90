// The viewer window's logic driven without a window: the searches it runs, stopping one,
// enabling, sorting by header clicks, the message pane and the export.
#include <gtest/gtest.h>

#include <deque>

#include "core/DbxMemoryInput.h"
#include "core/DbxViewerModel.h"
#include "modules/oe/DbxTestStore.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

class CScriptedPrompt : public IDbxViewerPrompt {
public:
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return yes;
    }
    void Warn(const std::string& text) override { warnings.push_back(text); }
    std::optional<std::string> AskSavePath() override { return savePath; }

    bool yes = true;
    std::optional<std::string> savePath;
    std::vector<std::string> questions;
    std::vector<std::string> warnings;
};

class DbxViewerModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<dbxtest::Message> messages(250);
        for (size_t i = 0; i < messages.size(); ++i) {
            messages[i].subject = messages[i].plainSubject = "message " + std::to_string(999 - i);
            messages[i].from = i % 2 ? "odd@example.com" : "even@example.com";
            messages[i].text =
                "Subject: " + *messages[i].subject + "\nbody " + std::to_string(i) + "\n";
        }
        m_store = dbxtest::BuildStore(messages, &m_offsets, 20);
        m_input = std::make_unique<DbxMemoryInput>(m_store);
        m_model = std::make_unique<CDbxViewerModel>(*m_input, m_prompt, DbxTimeZone::Utc);
    }

    std::vector<uint8_t> m_store;
    std::vector<uint32_t> m_offsets;
    std::unique_ptr<DbxMemoryInput> m_input;
    CScriptedPrompt m_prompt;
    std::unique_ptr<CDbxViewerModel> m_model;
};

// The filter applies only while checked; while its search runs (seen from the pump), only
// "Apply Filter" ("Stop") is enabled.
TEST_F(DbxViewerModelTest, TheFilterAppliesOnlyWhileCheckedAndTheControlsFollow) {
    DbxViewerEnabling idle = m_model->Enabling();
    EXPECT_TRUE(idle.filterCheck && idle.exportEml && idle.close);
    EXPECT_FALSE(idle.filterEdit || idle.applyFilter);
    m_model->Open();
    m_model->SetFilterText("ODD@");
    m_model->SetField(DBX_FIELD_SUBJECT, false);
    m_model->SetField(DBX_FIELD_FROM, true);
    m_model->ApplyFilter();  // "Filter" is unchecked: every message
    EXPECT_EQ(m_model->Rows().size(), 250u);
    m_model->SetFilterChecked(true);
    EXPECT_EQ(m_model->Rows().size(), 250u);  // checking alone does not search
    idle = m_model->Enabling();
    EXPECT_TRUE(idle.filterEdit && idle.applyFilter);

    std::vector<DbxViewerEnabling> seen;
    std::vector<std::string> progress;
    m_model->SetPump([&] {
        seen.push_back(m_model->Enabling());
        progress.push_back(m_model->ProgressText());
        EXPECT_TRUE(m_model->Busy());
    });
    m_model->ApplyFilter();
    EXPECT_EQ(m_model->Rows().size(), 125u);
    ASSERT_EQ(seen.size(), 2u);  // after 100 and 200 of 250 messages
    EXPECT_FALSE(seen[0].filterCheck || seen[0].filterEdit || seen[0].exportEml || seen[0].close);
    EXPECT_TRUE(seen[0].applyFilter);
    EXPECT_EQ(progress, (std::vector<std::string>{"Processing... 40%", "Processing... 80%"}));
    EXPECT_EQ(m_model->ProgressText(), "");
    m_model->SetFilterChecked(false);  // unchecking lists everything again
    EXPECT_EQ(m_model->Rows().size(), 250u);
}

TEST_F(DbxViewerModelTest, ApplyFilterWhileSearchingAsksToStop) {
    m_model->SetFilterChecked(true);
    m_model->SetFilterText("body");
    m_model->SetField(DBX_FIELD_CONTENT, true);  // refreshes after every message
    int pumps = 0;
    m_model->SetPump([&] {
        if (++pumps == 3) {
            m_prompt.yes = false;
            m_model->ApplyFilter();  // "No": the search goes on
            m_model->Search();       // a second search never starts inside the first
        }
        if (pumps == 10) {
            m_prompt.yes = true;
            m_model->ApplyFilter();
        }
    });
    m_model->ApplyFilter();
    EXPECT_EQ(m_prompt.questions, (std::vector<std::string>{"Stop Searching?", "Stop Searching?"}));
    EXPECT_EQ(m_model->Rows().size(), 10u);
    EXPECT_FALSE(m_model->Busy());
    // The next search runs to its end.
    m_model->SetPump({});
    m_model->ApplyFilter();
    EXPECT_EQ(m_model->Rows().size(), 250u);
}

TEST_F(DbxViewerModelTest, HeaderClicksSortAndKeepTheSelectedMessage) {
    EXPECT_FALSE(m_model->Sort().IsSorted());
    m_model->Open();
    m_model->Select(5);
    const uint32_t selected = m_model->Rows()[5].offset;
    m_model->ClickColumn(DbxColumn::Received);
    m_model->ClickColumn(DbxColumn::Received);
    EXPECT_FALSE(m_model->Sort().Ascending());
    // A click on another column sorts ascending: "message 999" ... "message 750", reversed.
    m_model->ClickColumn(DbxColumn::Subject);
    EXPECT_TRUE(m_model->Sort().Ascending());
    EXPECT_EQ(m_model->Sort().Column(), DbxColumn::Subject);
    EXPECT_EQ(m_model->Rows().front().subject, "message 750");
    EXPECT_EQ(m_model->Rows()[*m_model->Selected()].offset, selected);
    m_model->ClickColumn(DbxColumn::Subject);
    EXPECT_FALSE(m_model->Sort().Ascending());
    EXPECT_EQ(m_model->Rows().front().subject, "message 999");
    // A new search keeps the sort.
    m_model->ClickColumn(DbxColumn::Subject);
    m_model->Search();
    EXPECT_EQ(m_model->Rows().front().subject, "message 750");
}

// Open lists every message with the first selected; the pane shows the selected text as
// stored, the export with CR LF line ends.
TEST_F(DbxViewerModelTest, ExportWritesTheSelectedMessageOrWarns) {
    tavtest::CTempDir dir;
    m_model->Open();
    EXPECT_EQ(m_model->Rows().size(), 250u);
    EXPECT_EQ(m_model->Selected(), 0u);
    EXPECT_EQ(m_model->FocusRow(1), "Subject: message 998\nbody 1\n");
    EXPECT_EQ(m_model->FocusRow(999), "");
    m_model->Select(2);
    m_prompt.savePath = dir / "m.eml";
    EXPECT_TRUE(m_model->ExportSelected());
    EXPECT_EQ(tavtest::ReadFile(dir / "m.eml"), "Subject: message 997\r\nbody 2\r\n");
    // The save dialog asked before replacing: the export replaces.
    m_model->Select(3);
    EXPECT_TRUE(m_model->ExportSelected());
    EXPECT_EQ(tavtest::ReadFile(dir / "m.eml"), "Subject: message 996\r\nbody 3\r\n");
    EXPECT_TRUE(m_prompt.warnings.empty());

    m_prompt.savePath = dir / "no/such/folder.eml";
    EXPECT_FALSE(m_model->ExportSelected());
    EXPECT_EQ(m_prompt.warnings,
              std::vector<std::string>{"Cannot export the message to .eml file."});
    EXPECT_NE(m_model->Problem().find("cannot be created"), std::string::npos);

    m_prompt.savePath.reset();  // cancelled dialog: nothing, no warning
    EXPECT_FALSE(m_model->ExportSelected());
    EXPECT_EQ(m_prompt.warnings.size(), 1u);
}

TEST(DbxViewerModelDamage, ADamagedStoreEndsTheSearchWithAProblem) {
    CDbxWriter w;
    dbxtest::BuildStore(std::vector<dbxtest::Message>(3), nullptr, 51, &w);
    w.SetU32(w.GetU32(0xE4) + 0x0C, 4);  // the root's parent
    DbxMemoryInput input(w.Bytes());
    CScriptedPrompt prompt;
    CDbxViewerModel model(input, prompt);
    model.Open();
    EXPECT_TRUE(model.Rows().empty());
    EXPECT_FALSE(model.Busy());
    EXPECT_NE(model.Problem().find("Wrong parent !"), std::string::npos);
    EXPECT_FALSE(model.ExportSelected());
}

}  // namespace
