#include "platform/SimulatedProcessManager.h"

#include "platform/PropertyList.h"

#include <fstream>

namespace {

std::string codeText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += static_cast<char>((code >> shift) & 0xff);
    }
    return text;
}

} // namespace

uint32_t SimulatedProcessManager::fourCharCode(const std::string& code) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value = (value << 8) | (i < code.size() ? static_cast<unsigned char>(code[i]) : ' ');
    }
    return value;
}

std::optional<SimulatedProcessManager> SimulatedProcessManager::fromFile(const std::string& hostPath,
                                                                         const std::string& eventLog) {
    const std::optional<PlistValue> list = PropertyList::readHostFile(hostPath);
    if (!list || !list->isArray()) {
        return std::nullopt;
    }
    std::vector<Process> processes;
    uint32_t serial = 1;
    for (const PlistValue& item : list->asArray()) {
        const std::optional<std::string> type = item.stringForKey("type");
        const std::optional<std::string> signature = item.stringForKey("signature");
        if (!type || !signature) {
            return std::nullopt;
        }
        Process process;
        process.info.serialNumber = {0, serial++};
        process.info.processType = fourCharCode(*type);
        process.info.processSignature = fourCharCode(*signature);
        if (const PlistValue* mode = item.find("mode"); mode != nullptr && mode->isInteger()) {
            process.info.processMode = static_cast<uint32_t>(mode->asInteger());
        }
        if (const PlistValue* reply = item.find("reply");
            reply != nullptr && reply->type() == PlistValue::Type::Data) {
            process.reply = reply->asData();
        }
        if (const PlistValue* fails = item.find("sendFails");
            fails != nullptr && fails->isBoolean() && fails->asBoolean()) {
            process.reply = std::nullopt;
        }
        processes.push_back(std::move(process));
    }
    SimulatedProcessManager manager(std::move(processes));
    manager.mEventLog = eventLog;
    return manager;
}

std::vector<ProcessInfo> SimulatedProcessManager::runningProcesses() {
    std::vector<ProcessInfo> infos;
    infos.reserve(mProcesses.size());
    for (const Process& process : mProcesses) {
        infos.push_back(process.info);
    }
    return infos;
}

std::optional<std::string> SimulatedProcessManager::sendQuitEvent(const ProcessSerialNumber& serial,
                                                                  bool waitForReply) {
    for (const Process& process : mProcesses) {
        if (process.info.serialNumber.highLongOfPSN != serial.highLongOfPSN ||
            process.info.serialNumber.lowLongOfPSN != serial.lowLongOfPSN) {
            continue;
        }
        mQuitEvents.push_back(process.info.processSignature);
        if (!mEventLog.empty()) {
            std::ofstream(mEventLog, std::ios::app)
                << "quit " << codeText(process.info.processSignature) << '\n';
        }
        if (!process.reply) {
            return std::nullopt;
        }
        return waitForReply ? *process.reply : std::string();
    }
    return std::nullopt;
}
