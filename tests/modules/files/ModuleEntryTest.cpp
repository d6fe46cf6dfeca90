// The module's descriptor text (the hub loading the module is the editor's ModuleViewsTest).
#include <gtest/gtest.h>

#include <string>

#include "platform/DynLib.h"
#include "tavengine/TavModFactory.h"

namespace {

// The descriptor exactly as the module must return it.
const char* EXPECTED =
    "<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'>\t<module name='files' "
    "title='Files and Folders' version='1.0' root-id='flrt'>\t\t<create-engine-proc "
    "name='CreateEngineFiles'/>\t\t<create-jobroot-proc name='CreateFilesJobRoot'/>\t\t"
    "<data-exchange-proc name='DataExchange'/>\t\t<data-positions-proc "
    "name='ListFilesDataPositions'/>\t\t<job-control>\t\t\t<update-cmdui-proc "
    "name='UpdateCmdUI'/>\t\t\t<command-ui-proc id='1' title='Add File' name='OnAddFile'/>\t\t\t"
    "<command-ui-proc id='2' title='Add Folder' name='OnAddFolder'/>\t\t\t<command-ui-proc "
    "id='3' title='Remove' name='OnRemoveItem'/>\t\t\t<command-ui-proc id='0'/>\t\t\t"
    "<command-ui-proc id='4' title='File Filtering...' name='OnFileFiltering'/>\t\t\t"
    "<command-ui-proc id='5' title='Selection...' name='OnSelection'/>\t\t\t"
    "<event-dropfiles-proc name='OnEventFilesDrop'/>\t\t</job-control>\t</module></tavmodule>";

TEST(ModuleDescriptor, IsTheSameExactTextOnEveryCall) {
    plat::CDynLib module;
    ASSERT_TRUE(module.Load(std::string(TAV_FILES_MODULE_DIR) + "/filesmodule.so"))
        << module.Error();
    auto getInfo = reinterpret_cast<TavGetModInfoProc>(module.Symbol(TAV_GET_MOD_INFO));
    ASSERT_NE(getInfo, nullptr);
    const char* first = getInfo();
    EXPECT_STREQ(first, EXPECTED);
    EXPECT_EQ(getInfo(), first);
}

}  // namespace
