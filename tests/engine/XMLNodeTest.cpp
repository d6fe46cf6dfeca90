// XMLNode: parsing with a root, navigation, changes, numbers, and hostile input.
#include <gtest/gtest.h>

#include <random>

#include "tavengine/XMLNode.h"

namespace {

const char* SAMPLE =
    "<?xml version='1.0' encoding='UTF-8'?><tav-restore>\t<restore baseline='#00000001' "
    "command='#00010008' location=''/>\t<excluded><node id='#00000274'/><node id='#000004E8'/>"
    "</excluded></tav-restore>";

TEST(XMLNodeParse, GivesTheRootOnlyWhenItHasTheWantedNameAndRefusesBrokenTextAndNavigates) {
    std::string error;
    XMLNode root = XMLNode::Parse(SAMPLE, "tav-restore", &error);
    ASSERT_TRUE(root);
    EXPECT_EQ(root.GetName(), "tav-restore");

    EXPECT_FALSE(XMLNode::Parse(SAMPLE, "tavjob", &error));
    EXPECT_NE(error.find("tav-restore"), std::string::npos) << error;
    EXPECT_NE(error.find("tavjob"), std::string::npos) << error;
    // Broken text is refused with a reason.
    for (const char* text :
         {"", "   ", "<a>", "<a></b>", "no xml at all", "<?xml version='1.0'?>"}) {
        std::string reason;
        EXPECT_FALSE(XMLNode::Parse(text, "", &reason)) << text;
        EXPECT_FALSE(reason.empty()) << text;
    }

    // Navigation by name and index.
    EXPECT_EQ(root.GetChildCount(), 2);
    XMLNode excluded = root.GetChild("excluded");
    ASSERT_TRUE(excluded);
    EXPECT_EQ(excluded.GetChildCount("node"), 2);
    EXPECT_EQ(excluded.GetChild("node", 1).GetNumber("id"), 0x4E8u);
    EXPECT_FALSE(excluded.GetChild("node", 2));
    EXPECT_EQ(excluded.GetIndex(), 1);
    EXPECT_EQ(excluded.GetParent(), root);
    EXPECT_FALSE(root.GetParent());
    XMLNode restore = root.GetChild("restore");
    EXPECT_EQ(restore.GetNumber("command"), 0x10008u);
    EXPECT_TRUE(restore.HasAttribute("location"));
    EXPECT_EQ(restore.GetAttribute("missing", "x"), "x");
    // An empty handle answers empty and refuses changes.
    XMLNode none;
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_FALSE(none.GetChild("x"));
    EXPECT_FALSE(none.AddChild("x"));
    EXPECT_FALSE(none.SetAttribute("a", "b"));
    EXPECT_EQ(none.CreateXMLString(), "");
}

TEST(XMLNodeParse, SurvivesArbitraryBytesAndDeepNesting) {
    std::mt19937 random(7);
    std::string base = SAMPLE;
    for (int round = 0; round < 2000; ++round) {
        std::string text = base;
        const int edits = 1 + int(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % text.size();
            switch (random() % 3) {
                case 0:
                    text[at] = char(random() % 256);
                    break;
                case 1:
                    text.erase(at, 1 + random() % 4);
                    break;
                default:
                    text.insert(at, 1, char(random() % 256));
                    break;
            }
            if (text.empty()) text = "<";
        }
        XMLNode root = XMLNode::Parse(text, "tav-restore");
        if (root) {
            // Whatever parsed can be walked and written again.
            for (XMLNode child = root.GetFirstChild(); child; child = child.GetNextSibling())
                (void)child.GetNumber("id");
            EXPECT_FALSE(root.CreateXMLString().empty());
        }
    }

    // Deep nesting neither crashes nor overflows the stack.
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "<a>";
    for (int i = 0; i < 200000; ++i) text += "</a>";
    XMLNode root = XMLNode::Parse(text, "a");
    ASSERT_TRUE(root);
    EXPECT_GE(root.CreateNodeString().size(), 200000u * 7 - 3);
    XMLNode deepest = root;
    while (deepest.GetFirstChild()) deepest = deepest.GetFirstChild();
    EXPECT_FALSE(deepest.GetFirstChild());
}

// Also across documents: a copy keeps its own document alive.
TEST(XMLNodeChanges, AddInsertRemoveCopyKeepPositionsTrueAndTextsAndNumbersReadBack) {
    XMLNode root = XMLNode::CreateDocument("list");
    XMLNode b = root.AddChild("item");
    b.SetAttribute("name", "b");
    XMLNode a = root.InsertChild("item", b);
    a.SetAttribute("name", "a");
    XMLNode c = root.AddChild("other");
    EXPECT_EQ(root.GetChild(0).GetAttribute("name"), "a");

    ASSERT_TRUE(root.RemoveChild(a));
    // Positions follow the change at once.
    EXPECT_EQ(root.GetChildCount(), 2);
    EXPECT_EQ(root.GetChild(0), b);
    EXPECT_EQ(b.GetIndex(), 0);
    EXPECT_FALSE(root.RemoveChild(XMLNode::CreateDocument("stranger")));

    for (int i = 0; i < 5; ++i) root.AddChild("item");
    EXPECT_EQ(root.RemoveChildren("item"), 6);
    EXPECT_EQ(root.GetChildCount(), 1);
    EXPECT_EQ(root.GetChild(0), c);

    XMLNode copy;
    {
        XMLNode source = XMLNode::Parse(SAMPLE, "tav-restore");
        copy = XMLNode::CreateDocument("holder").AddChildCopy(source.GetChild("excluded"));
    }
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy.GetChildCount("node"), 2);
    EXPECT_EQ(copy.GetRoot().GetName(), "holder");

    // Attributes and text are escaped and read back.
    XMLNode doc = XMLNode::CreateDocument("doc");
    const std::string tricky = "a<b>&\"c' \xC3\xA9\t\r\n";
    doc.SetAttribute("value", tricky);
    // Text content follows XML's line-end rule: "\r\n" reads back as "\n".
    doc.AddChild("text").SetText(tricky);
    XMLNode again = XMLNode::Parse(doc.CreateXMLString(), "doc");
    ASSERT_TRUE(again);
    EXPECT_EQ(again.GetAttribute("value"), tricky);
    EXPECT_EQ(again.GetChild("text").GetText(), "a<b>&\"c' \xC3\xA9\t\n");
    EXPECT_EQ(doc.CreateXMLString().rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
    EXPECT_EQ(doc.GetChild("text").CreateNodeString().find("<?xml"), std::string::npos);

    // Numbers are written as '#' and eight digits; read as people write them.
    EXPECT_EQ(TavDword2Xml(1), "#00000001");
    EXPECT_EQ(TavDword2Xml(0xA1B2C3D4), "#A1B2C3D4");
    EXPECT_EQ(TavXml2Dword("#a1b2c3d4"), 0xA1B2C3D4u);
    EXPECT_EQ(TavXml2Dword("#1F"), 31u);
    EXPECT_EQ(TavXml2Dword("4294967295"), 0xFFFFFFFFu);
    for (const char* bad :
         {"", "#", "#123456789", "#12G4", "4294967296", "-1", "0x10", " #1", "1 "})
        EXPECT_EQ(TavXml2Dword(bad, 77u), 77u) << bad;
    uint32_t out = 5;
    EXPECT_FALSE(TryTavXml2Dword("#zz", out));
    EXPECT_EQ(out, 5u);
}

}  // namespace
