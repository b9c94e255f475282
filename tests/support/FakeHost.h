// Host-side stand-ins for tests: a settings source backed by a map and a logger that records.
#pragma once

#include "plugin/PluginContract.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class MapSettings : public PluginSettingsSource {
public:
    MapSettings() {}
    MapSettings(std::initializer_list<std::pair<const std::wstring, std::wstring>> values)
        : values(values) {}
    bool GetValue(const wchar_t* key, std::wstring* value) override {
        ++calls;
        const auto found = values.find(key);
        if (found == values.end())
            return false;
        *value = found->second;
        return true;
    }

    std::map<std::wstring, std::wstring> values;
    int calls = 0;
};

class RecordingLogger : public PluginLogger {
public:
    typedef std::pair<int32_t, std::wstring> Message;

    void Log(int32_t level, const wchar_t* text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(Message(level, text));
    }
    std::vector<Message> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    // The texts of one level, in order.
    std::vector<std::wstring> Texts(int32_t level) const {
        std::vector<std::wstring> texts;
        for (const Message& message : Messages())
            if (message.first == level)
                texts.push_back(message.second);
        return texts;
    }
    // Every message of every level joined, one a line.
    std::wstring All() const {
        std::wstring all;
        for (const Message& message : Messages())
            all += message.second + L"\n";
        return all;
    }
    // A console's line callback (context: the logger): each line a detail message.
    static void Record(void* context, const wchar_t* line) {
        static_cast<RecordingLogger*>(context)->Log(LogDetail, line);
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};
