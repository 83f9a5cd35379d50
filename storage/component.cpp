#include "storage/component.h"

#include <algorithm>

namespace {

void Erase(std::vector<TComponent*>& list, TComponent* component) {
    list.erase(std::remove(list.begin(), list.end(), component), list.end());
}

}  // namespace

TComponent::~TComponent() {
    // The links run both ways, so a component that goes first never leaves a
    // dangling pointer behind in the other's list.
    const std::vector<TComponent*> others = notify_;
    notify_.clear();
    for (TComponent* other : others) {
        Erase(other->notify_, this);
        other->Notification(this, Operation::Remove);
    }
}

void TComponent::FreeNotification(TComponent* other) {
    if (other == nullptr || other == this) return;
    if (std::find(notify_.begin(), notify_.end(), other) == notify_.end()) notify_.push_back(other);
    if (std::find(other->notify_.begin(), other->notify_.end(), this) == other->notify_.end())
        other->notify_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (other == nullptr) return;
    Erase(notify_, other);
    Erase(other->notify_, this);
}

void TComponent::Notification(TComponent*, Operation) {}
