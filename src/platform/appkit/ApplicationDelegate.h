#pragma once

// The answer to "may the application quit now?".
enum class TerminateReply {
    now,     // quit at once
    cancel,  // keep running
    later,   // the delegate answers through Application::replyToApplicationShouldTerminate
};

// What the application tells the object that runs it. Every call comes on the main thread.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // Once, when the event loop has started.
    virtual void applicationDidFinishLaunching() {}
    virtual TerminateReply applicationShouldTerminate() { return TerminateReply::now; }
    // Once, right before the event loop ends.
    virtual void applicationWillTerminate() {}
};
