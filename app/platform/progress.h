#pragma once
// Progress of a long piece of work (export, import), which the user may cancel.
// The program shows a progress dialog; tests pass a scripted one.
class Progress {
public:
    virtual ~Progress() = default;
    // Reports that `done` of the announced amount are done; false once the
    // user has asked to cancel. The caller then undoes what it did.
    virtual bool Step(long long done) = 0;
};

// Shows nothing and never cancels.
class SilentProgress : public Progress {
public:
    bool Step(long long) override { return true; }
};
