#pragma once
// Minimal component base: a name, and removal notifications so that a
// component holding a link to another drops the link when that one goes away.
#include <string>
#include <vector>

class TComponent {
public:
    enum class Operation { Insert, Remove };

    explicit TComponent(std::string name = {}) : name_(std::move(name)) {}
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // Asks `other` to call Notification(this, Remove) on us when it is destroyed.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    virtual void Notification(TComponent* component, Operation operation);

private:
    std::string name_;
    std::vector<TComponent*> notify_;  // told when this one is destroyed
};
