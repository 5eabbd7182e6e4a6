#include "cli/CompletionCommand.h"

#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/StartupSearch.h"
#include "catalogue/StoreSoftwareInformationManager.h"
#include "cli/CommandLine.h"
#include "cli/CommandTable.h"
#include "cli/RowSelection.h"
#include "platform/SystemRoot.h"

#include <algorithm>
#include <ostream>

namespace {

// What the words before the one being typed say.
struct Typed {
    Command command = Command::None;
    std::optional<std::string> root;
    std::vector<std::string> operands;
    std::vector<const OptionSpec*> options;
    const OptionSpec* awaitingValue = nullptr; // the last word is the value of this option
    bool onlyOperands = false;                 // after "--"
};

Typed read(const std::vector<std::string>& before) {
    Typed typed;
    for (size_t i = 0; i < before.size(); ++i) {
        const std::string& word = before[i];
        if (!typed.onlyOperands && word == "--") {
            typed.onlyOperands = true;
            continue;
        }
        if (!typed.onlyOperands && word.size() > 1 && word.front() == '-') {
            const size_t equals = word.find('=');
            const OptionSpec* option =
                word[1] == '-' ? commandtable::findLong(word.substr(0, equals)) : nullptr;
            if (option == nullptr) {
                continue; // short switches take no value
            }
            typed.options.push_back(option);
            if (option->value == nullptr) {
                continue;
            }
            std::optional<std::string> value;
            if (equals != std::string::npos) {
                value = word.substr(equals + 1);
            } else if (i + 1 == before.size()) {
                typed.awaitingValue = option;
            } else {
                value = before[++i];
            }
            if (value && option->value == &CommandLine::root) {
                typed.root = value;
            }
            continue;
        }
        if (!typed.onlyOperands && typed.command == Command::None) {
            if (const CommandSpec* command = commandtable::findCommand(word)) {
                typed.command = command->command;
            }
            continue;
        }
        typed.operands.push_back(word);
    }
    return typed;
}

bool given(const Typed& typed, const OptionSpec& option) {
    return std::find(typed.options.begin(), typed.options.end(), &option) != typed.options.end();
}

} // namespace

CompletionCommand::Offer CompletionCommand::offer(const std::vector<std::string>& words,
                                                  const RowNames& rowNames) {
    const std::string current = words.empty() ? std::string() : words.back();
    const Typed typed = read(std::vector<std::string>(words.begin(), words.end() - (words.empty() ? 0 : 1)));
    Offer offer;
    if (typed.awaitingValue != nullptr) {
        offer.kind =
            typed.awaitingValue->valueKind == ValueKind::Folder ? Offer::Kind::Folders : Offer::Kind::Files;
        return offer;
    }
    std::vector<std::string> candidates;
    if (!typed.onlyOperands && current.rfind('-', 0) == 0) {
        for (const OptionSpec& option : commandtable::options()) {
            // An option with a value may be given once.
            if (commandtable::appliesTo(option, typed.command) &&
                !(option.value != nullptr && given(typed, option))) {
                candidates.push_back(option.longName);
            }
        }
    } else if (typed.command == Command::None) {
        for (const CommandSpec& command : commandtable::commands()) {
            if (!command.hidden) {
                candidates.push_back(command.name);
            }
        }
    } else if (const CommandSpec* command = commandtable::specOf(typed.command)) {
        if (command->operands == Operands::File && typed.operands.empty()) {
            offer.kind = Offer::Kind::Files;
            return offer;
        }
        if (command->operands == Operands::Names) {
            for (const std::string& name : rowNames(typed.root)) {
                if (std::find(typed.operands.begin(), typed.operands.end(), name) == typed.operands.end()) {
                    candidates.push_back(name);
                }
            }
        } else if (command->operands == Operands::CommandName && typed.operands.empty()) {
            for (const CommandSpec& other : commandtable::commands()) {
                if (!other.hidden && other.command != Command::Help) {
                    candidates.push_back(other.name);
                }
            }
        }
    }
    for (const std::string& candidate : candidates) {
        if (candidate.rfind(current, 0) == 0) {
            offer.words.push_back(candidate);
        }
    }
    return offer;
}

void CompletionCommand::run(const std::vector<std::string>& words, std::ostream& out) {
    const Offer found = offer(words, [](const std::optional<std::string>& root) {
        std::vector<std::string> names;
        if (root && !SystemRoot::set(*root)) {
            return names;
        }
        SearchSoftwareInformationManager search;
        StoreSoftwareInformationManager store;
        if (StartupSearch::run(search, store) == StartupSearch::Outcome::Found) {
            names = RowSelection::rowNames(store);
        }
        return names;
    });
    switch (found.kind) {
    case Offer::Kind::Folders:
        out << "folders\n";
        return;
    case Offer::Kind::Files:
        out << "files\n";
        return;
    case Offer::Kind::Words:
        out << "words\n";
        break;
    }
    for (const std::string& word : found.words) {
        // One word per line: a name that holds a control character cannot be offered.
        if (std::none_of(word.begin(), word.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
            out << word << '\n';
        }
    }
}
