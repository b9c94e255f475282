#include "tools/pluginhost/HostCommand.h"

#include <cstdio>

IBackupDataRead* CreateDataSource(HostContext& context) {
    IBackupDataRead* source = context.plugin.getBackupDataRead(&context.logger, &context.settings);
    if (source == nullptr)
        PrintText(stderr, L"pluginhost: the plug-in gave no data source\n");
    return source;
}

IBackupDataWrite* CreateDataSink(HostContext& context) {
    IBackupDataWrite* sink = context.plugin.getBackupDataWrite(&context.logger, &context.settings);
    if (sink == nullptr)
        PrintText(stderr, L"pluginhost: the plug-in gave no data sink\n");
    return sink;
}
