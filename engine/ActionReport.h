#pragma once

#include "engine/EngineAction.h"

#include <functional>
#include <string>
#include <vector>

/// Collects what the engine's parts did, in order, and hands each action to a listener as it happens
/// (the audit log writes it at once, so that a run that stops half-way is still recorded).
class ActionReport {
public:
    using Listener = std::function<void(const EngineAction&)>;

    /// Records an action of the current software and passes it to the listener.
    void add(EngineAction action);
    void add(EngineAction::Outcome outcome, std::string step, std::string target, std::string detail = {}) {
        add(EngineAction{outcome, std::move(step), std::move(target), std::move(detail), {}});
    }

    /// Called with every action added from now on; an empty function stops the calls.
    void setListener(Listener listener) { mListener = std::move(listener); }

    const std::vector<EngineAction>& actions() const { return mActions; }

    /// The actions of one kind of outcome, in order.
    std::vector<EngineAction> actionsWith(EngineAction::Outcome outcome) const;

    void clear() { mActions.clear(); }

    /// The software whose actions are added from now on ("" for steps of the whole run).
    void setSoftware(std::string software) { mSoftware = std::move(software); }

private:
    std::vector<EngineAction> mActions;
    std::string mSoftware;
    Listener mListener;
};
