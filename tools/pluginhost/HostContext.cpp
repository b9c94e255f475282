#include "tools/pluginhost/HostCommand.h"

#include <cstdio>

PluginDataObject* CreateDataSource(HostContext& context) {
    PluginDataObject* source = context.plugin.GetBackupDataRead(&context.logger, &context.settings);
    if (source == nullptr)
        PrintText(stderr, L"pluginhost: the plug-in gave no data source\n");
    return source;
}

PluginDataObject* CreateDataSink(HostContext& context) {
    PluginDataObject* sink = context.plugin.GetBackupDataWrite(&context.logger, &context.settings);
    if (sink == nullptr)
        PrintText(stderr, L"pluginhost: the plug-in gave no data sink\n");
    return sink;
}
