#pragma once

// The receiving end of the frame chain (source -> CalculationModel -> FrameView).
// Notifications carry no data: the observer pulls the frame from its subject, keeps it (shared:
// a frame handed out is never written into again), processes it and passes the notification on
// as its last step.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    // A further frame of the same size and format.
    virtual void newFrame() = 0;
    // A new subject, or a frame whose size or format may have changed.
    virtual void newSource() = 0;
};
