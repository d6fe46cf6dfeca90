// The identity mapping rules (presets, one target per identity, the check on OK) and the
// restore request as the Outlook Express engine reads it.
#include <gtest/gtest.h>

#include "core/OeIdentityMapping.h"
#include "core/OeRestoreRequest.h"

namespace {

const OeIdentity A{"{AAAA}", "Anna"};
const OeIdentity B{"{BBBB}", "Bob"};
const OeIdentity C{"{CCCC}", "Carol"};
const OeIdentity D{"{DDDD}", "Dora"};

std::vector<int> Targets(const COeIdentityMapping& m) {
    std::vector<int> out;
    for (size_t row = 0; row < m.RowCount(); ++row) out.push_back(m.Target(row));
    return out;
}

TEST(OeIdentityMappingTest, PresetsComeFromTheLastMappingThenFromTheSameIdentity) {
    const struct {
        const char* why;
        std::vector<OeIdentity> backup, machine;
        OeUidMap last;
        std::vector<int> targets;
    } cases[] = {
        {"an identity that exists here maps to itself, identifiers compare without case",
         {A, B}, {C, {"{bbbb}", "Bob here"}}, {}, {-1, 1}},
        {"the last confirmed mapping comes first", {A}, {A, B}, {{"{aaaa}", "{BBBB}"}}, {1}},
        {"no target is given twice: B's own is taken by A", {A, B}, {A, B},
         {{"{AAAA}", "{BBBB}"}}, {1, -1}},
        {"a preset naming no identity here is passed over", {A}, {A}, {{"{AAAA}", "{ZZZZ}"}}, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Targets(COeIdentityMapping(c.backup, c.machine, c.last)), c.targets);
    }
    COeIdentityMapping m({A, B}, {C, {"{bbbb}", "Bob here"}}, {});
    EXPECT_EQ(m.RowText(0), "Anna - {AAAA}");
    EXPECT_EQ(m.TargetText(1), "Bob here - {bbbb}");
    EXPECT_EQ(m.TargetChoices(), (std::vector<std::string>{"Carol", "Bob here"}));
    EXPECT_EQ(m.SelectedRow(), 0) << "the first row is selected";
    EXPECT_FALSE(m.IsComplete());
    EXPECT_EQ(m.UnassignedRows(), std::vector<std::string>{"Anna - {AAAA}"});
}

TEST(OeIdentityMappingTest, ChoosingATargetTakesItFromAnyOtherRow) {
    COeIdentityMapping m({A, B, C}, {A, B, D}, {});
    EXPECT_EQ(Targets(m), (std::vector<int>{0, 1, -1}));
    m.SelectRow(2);
    EXPECT_EQ(m.SelectedName(), "Carol");
    EXPECT_TRUE(m.ChooseTarget(0));
    EXPECT_EQ(Targets(m), (std::vector<int>{-1, 1, 0}));
    EXPECT_TRUE(m.SetTargetById("{aaaa}", "{DDDD}"));
    EXPECT_EQ(Targets(m), (std::vector<int>{2, 1, 0}));
    EXPECT_FALSE(m.SetTargetById("{ZZZZ}", "{DDDD}"));
    EXPECT_FALSE(m.ChooseTarget(3)) << "out of range";
    EXPECT_TRUE(m.ChooseTarget(COeIdentityMapping::NO_TARGET));
    EXPECT_EQ(Targets(m), (std::vector<int>{2, 1, -1}));
    m.SelectRow(9);
    EXPECT_EQ(m.SelectedRow(), 2) << "a row that does not exist is not selected";
}

TEST(OeIdentityMappingTest, OkNeedsATargetForEveryRowAndThenReplacesMapUid) {
    OeUidMap mapUid = {{"{OLD}", "{OLDER}"}};
    COeIdentityMapping m({A, B}, {A, C}, mapUid);
    EXPECT_FALSE(m.Confirm(mapUid)) << "B has no target: the warning is shown";
    EXPECT_FALSE(m.IsConfirmed());
    EXPECT_EQ(mapUid, (OeUidMap{{"{OLD}", "{OLDER}"}})) << "unchanged until OK succeeds";
    m.SelectRow(1);
    m.ChooseTarget(1);
    EXPECT_TRUE(m.Confirm(mapUid));
    EXPECT_TRUE(m.IsConfirmed());
    EXPECT_EQ(mapUid, (OeUidMap{{"{AAAA}", "{AAAA}"}, {"{BBBB}", "{CCCC}"}}));
    m.ChooseTarget(0);
    EXPECT_FALSE(m.IsConfirmed()) << "a change after OK needs OK again";
}

TEST(OeIdentityMappingTest, NoRowsNoMachineIdentities) {
    COeIdentityMapping none({}, {A}, {});
    EXPECT_EQ(none.SelectedRow(), -1);
    EXPECT_FALSE(none.ChooseTarget(0));
    OeUidMap mapUid = {{"x", "y"}};
    EXPECT_TRUE(none.Confirm(mapUid));
    EXPECT_TRUE(mapUid.empty());
    COeIdentityMapping nothingHere({A}, {}, {});
    EXPECT_FALSE(nothingHere.Confirm(mapUid));
}

// --- the request ---

TEST(OeRestoreRequestTest, ReadsTheRequestTheBrowserWrites) {
    OeRestoreRequest r;
    ASSERT_TRUE(ParseOeRestoreRequest(
        "<?xml version='1.0' encoding='UTF-8'?><tav-restore>\t<restore baseline='#00000003' "
        "command='#00010008' location='/tmp/x'><node id='#00000274'/><node id='#00000000'/>"
        "<node id='#000004E8'/></restore>\t<excluded><node id='#00000A1C'/><node id='#0'/>"
        "</excluded><identity-map><identity from='{A}' to='{B}'/></identity-map></tav-restore>",
        r));
    EXPECT_EQ(r.baseline, 3u);
    EXPECT_EQ(r.command, 0x00010008u);
    EXPECT_EQ(r.location, "/tmp/x");
    EXPECT_TRUE(r.listsNodes);
    EXPECT_EQ(r.nodes, (std::vector<uint32_t>{0x274, 0x4E8}));
    EXPECT_EQ(r.excluded, (std::set<uint32_t>{0xA1C}));
    ASSERT_EQ(r.identityMap.size(), 1u);
    EXPECT_EQ(r.identityMap[0].first, "{A}");
    EXPECT_EQ(r.identityMap[0].second, "{B}");

    ASSERT_TRUE(ParseOeRestoreRequest(
        "<tav-restore><restore Baseline='#00000002' command='#00020000'><node id='#0'/></restore>"
        "<excluded/></tav-restore>",
        r));
    EXPECT_EQ(r.baseline, 2u) << "the spelling \"Baseline\" is read too";
    EXPECT_TRUE(r.listsNodes) << "a node of id 0 still makes a node list";
    EXPECT_TRUE(r.nodes.empty());

    EXPECT_FALSE(ParseOeRestoreRequest("<tavjob/>", r));
    EXPECT_FALSE(ParseOeRestoreRequest("<tav-restore/>", r)) << "no restore element";
    EXPECT_FALSE(ParseOeRestoreRequest("<tav-restore><restore", r));
}

TEST(OeRestoreRequestTest, MappingEntriesAndTheirCommandLineForm) {
    XMLNode root = XMLNode::Parse(
        "<tav-restore><restore baseline='#00000001'/><excluded/></tav-restore>", "tav-restore");
    ASSERT_TRUE(root);
    EXPECT_TRUE(AddOeIdentityMap(root, "{A}", "{B}"));
    EXPECT_TRUE(AddOeIdentityMap(root, "{C}", "{D}"));
    EXPECT_FALSE(AddOeIdentityMap(root, "", "{D}"));
    OeRestoreRequest r;
    ASSERT_TRUE(ParseOeRestoreRequest(root.CreateXMLString(), r));
    ASSERT_EQ(r.identityMap.size(), 2u);
    EXPECT_EQ(r.identityMap[1], (std::pair<std::string, std::string>{"{C}", "{D}"}));
    EXPECT_FALSE(r.listsNodes);

    std::string from, to, error;
    EXPECT_TRUE(ParseOeMapArgument("{A}={B}", from, to, error));
    EXPECT_EQ(from, "{A}");
    EXPECT_EQ(to, "{B}");
    for (const char* bad : {"{A}", "={B}", "{A}=", "{A}=x\\y"}) {
        EXPECT_FALSE(ParseOeMapArgument(bad, from, to, error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

}  // namespace
