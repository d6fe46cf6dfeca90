// A module whose descriptor is cut short: the hub must skip it and say so.
extern "C" __attribute__((visibility("default"))) const char* GetTavModInfo() {
    return "<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'><module "
           "name='broken' "
           "title='Broken' root-id='brkn'><create-engine-proc name='CreateEngineBroken'/>";
}
