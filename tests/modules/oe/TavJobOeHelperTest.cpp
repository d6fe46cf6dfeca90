// The Outlook Express part of a job: identities, exclusions, the search modes and the
// tag texts.
#include <gtest/gtest.h>

#include "core/OeRecords.h"
#include "core/TavJobOeHelper.h"
#include "tavengine/TavJobHelper.h"

namespace {

constexpr const char* ID_A = "{AAAA0000-0000-0000-0000-00000000000A}";
constexpr const char* ID_A_LOWER = "{aaaa0000-0000-0000-0000-00000000000a}";
constexpr const char* ID_B = "{BBBB0000-0000-0000-0000-00000000000B}";

class CCountingObserver : public CTavJobObserver {
public:
    void OnTavJobChanged(CTavJobHelper*, int32_t flag) override { changes += flag; }
    int changes = 0;
};

class TavJobOeHelperTest : public ::testing::Test {
protected:
    TavJobOeHelperTest()
        : m_node(m_job.AddBackupNode("Outlook Express", "oe")), m_helper(m_node, &m_job) {
        m_job.SetObserver(&m_observer);
    }
    int Exclusions(const std::string& id) {
        XMLNode identity;
        return m_helper.GetIdentityNode(id, identity) ? identity.GetChildCount("excluded") : -1;
    }

    CTavJobHelper m_job;
    XMLNode m_node;
    CTavJobOeHelper m_helper;
    CCountingObserver m_observer;
};

TEST_F(TavJobOeHelperTest, IdentitiesAreAddedOnceAndFoundIgnoringCase) {
    EXPECT_TRUE(m_helper.GetIdentityNode(0).IsEmpty());
    EXPECT_EQ(m_helper.AddIdentity(ID_A), 1);
    EXPECT_EQ(m_helper.AddIdentity(ID_A_LOWER), 0) << "identifiers ignore letter case";
    EXPECT_EQ(m_helper.AddIdentity(""), 0);
    EXPECT_EQ(m_helper.AddIdentity(ID_B), 1);
    EXPECT_EQ(m_observer.changes, 2);

    EXPECT_EQ(m_helper.GetIdentityNode(0).GetAttribute("uid"), ID_A);
    EXPECT_TRUE(m_helper.GetIdentityNode(2).IsEmpty());
    XMLNode found;
    EXPECT_EQ(m_helper.GetIdentityNode(ID_A_LOWER, found), 1);
    EXPECT_EQ(found.GetAttribute("uid"), ID_A);
    EXPECT_EQ(m_helper.GetIdentityNode("{none}", found), 0);
    EXPECT_TRUE(found.IsEmpty());

    EXPECT_EQ(m_helper.RemoveIdentity(ID_A_LOWER), 1);
    EXPECT_EQ(m_helper.RemoveIdentity(ID_A), 0);
    EXPECT_EQ(m_observer.changes, 3);
    m_helper.CearlExcludedItems();
    EXPECT_TRUE(m_helper.GetIdentityNode(0).IsEmpty());
    EXPECT_EQ(m_observer.changes, 4);
    m_helper.CearlExcludedItems();
    EXPECT_EQ(m_observer.changes, 4) << "nothing removed, nothing changed";
}

TEST_F(TavJobOeHelperTest, ExcludedItemsAreAddedOncePerExactKey) {
    // Excluding an item of an identity not in the job adds the identity.
    EXPECT_EQ(m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Inbox.",
                                       std::string("Inbox.dbx")),
              1);
    EXPECT_EQ(m_helper.AddExcludedItem(ID_A, OE_TAG_ITEM, ".Rules."), 1);
    EXPECT_EQ(m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Drafts.", std::string()),
              1);
    // (The attributes of items and named folders: tavctl job oe in its tests.)
    XMLNode identity;
    ASSERT_EQ(m_helper.GetIdentityNode(ID_A, identity), 1);
    ASSERT_EQ(identity.GetChildCount("excluded"), 3);
    EXPECT_TRUE(identity.GetChild("excluded", 2).HasAttribute("dbxname"))
        << "an empty name is still written";

    // Only the exact key counts as already excluded.
    const int before = m_observer.changes;
    EXPECT_EQ(m_helper.AddExcludedItem(ID_A, OE_TAG_ITEM, ".rules."), 0);
    EXPECT_EQ(m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Inbox.Sub.",
                                       std::string("Sub.dbx")),
              1)
        << "an excluded ancestor does not stop a descendant's element";
    EXPECT_EQ(m_helper.AddExcludedItem(ID_A, OE_TAG_ITEM, ""), 0);
    EXPECT_EQ(m_observer.changes, before + 1);
}

TEST_F(TavJobOeHelperTest, RemovingAKeyRemovesEverythingBelowIt) {
    m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Inbox.", std::string("Inbox.dbx"));
    m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Inbox.Sub.", std::string("Sub.dbx"));
    m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Outbox.", std::string("Outbox.dbx"));
    m_helper.AddExcludedItem(ID_A, OE_TAG_ITEM, ".Rules.");
    m_helper.AddExcludedItem(ID_B, OE_TAG_MESSAGE, ".Messages.Inbox.", std::string("Inbox.dbx"));

    EXPECT_EQ(m_helper.RemoveExcludedItem(ID_A, ".messages.inbox."), 1);
    EXPECT_EQ(Exclusions(ID_A), 2);
    EXPECT_EQ(m_helper.RemoveExcludedItem(ID_A, ".Messages.Inbox."), 0);
    EXPECT_EQ(m_helper.RemoveExcludedItem(ID_A, ".Messages."), 1);
    EXPECT_EQ(Exclusions(ID_A), 1) << "only .Rules. is left";
    EXPECT_EQ(Exclusions(ID_B), 1) << "other identities keep theirs";
    EXPECT_EQ(m_helper.RemoveExcludedItem("{none}", "."), 0);
    // Removing the identity takes its exclusions along.
    EXPECT_EQ(m_helper.RemoveIdentity(ID_B), 1);
    EXPECT_EQ(m_helper.SearchExcludedMessage(ID_B, "Inbox.dbx"), 0);
}

TEST_F(TavJobOeHelperTest, SearchModes) {
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".", OE_SEARCH_ALL), 0) << "no identity";
    m_helper.AddIdentity(ID_A);
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Messages.", OE_SEARCH_ALL), 0);

    // Only a folder below the message group is excluded.
    m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Inbox.", std::string("Inbox.dbx"));
    XMLNode element;
    EXPECT_EQ(m_helper.DoSearchExcludedItem(ID_A, ".Messages.", element, OE_SEARCH_ALL), 4);
    EXPECT_EQ(element.GetAttribute("key"), ".Messages.Inbox.");
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Messages.", OE_SEARCH_EXACT), 0);
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".MESSAGES.INBOX.", OE_SEARCH_EXACT), 1);
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Messages.Inbox.Sub.", OE_SEARCH_ANCESTOR), 2);
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Messages.Inbox.", OE_SEARCH_DESCENDANT), 1);
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Messages.Inbox.Sub.", OE_SEARCH_DESCENDANT), 0);

    // The message group itself.
    m_helper.AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.", std::string());
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Messages.", OE_SEARCH_ALL), 4)
        << "the first element in document order that passes decides";
    m_helper.RemoveExcludedItem(ID_A, ".Messages.Inbox.");
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Messages.", OE_SEARCH_ALL), 1);

    // The whole identity.
    m_helper.RemoveExcludedItem(ID_A, ".");
    m_helper.AddExcludedItem(ID_A, OE_TAG_IDENTITY, ".");
    EXPECT_EQ(m_helper.DoSearchExcludedItem(ID_A, ".Messages.", element, OE_SEARCH_ALL), 2);
    EXPECT_EQ(element.GetAttribute("pid"), "oeid");
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A_LOWER, ".", OE_SEARCH_EXACT), 1);
}

TEST_F(TavJobOeHelperTest, HandWrittenElementsWithoutKeysExcludeNothing) {
    m_helper.AddIdentity(ID_A);
    XMLNode identity;
    ASSERT_EQ(m_helper.GetIdentityNode(ID_A, identity), 1);
    identity.AddChild("excluded").SetAttribute("pid", "oemg");
    identity.AddChild("excluded").SetAttribute("key", "");
    XMLNode dbx = identity.AddChild("excluded");
    dbx.SetAttribute("key", ".Messages.Sent Items.");
    dbx.SetAttribute("dbxname", "Sent Items.dbx");
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".Rules.", OE_SEARCH_ALL), 0);
    EXPECT_EQ(m_helper.SearchExcludedItem(ID_A, ".", OE_SEARCH_ALL), 4);
    EXPECT_EQ(m_helper.SearchExcludedMessage(ID_A, "sent items.DBX"), 1);
    EXPECT_EQ(m_helper.SearchExcludedMessage(ID_A, "Inbox.dbx"), 0);
}

}  // namespace
