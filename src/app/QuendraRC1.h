#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>
#include <opencv2/core.hpp>

namespace Ui {
class QuendraRC1Class;
}

class CalculationModel;
class CameraCommands;
class FrameModel;
class FrameView;
class PickerController;
class QPushButton;
class ThreshController;
class VideoController;
class ViewArea;
class VideoModel;
class WindowSettings;
class WindowStatus;
struct ShownFrame;

// The main window: the frame view above the save button and the three panels, the tool bar on
// the left. It creates frame sources and hands them to the model, which owns them.
class QuendraRC1 : public QMainWindow {
    Q_OBJECT
public:
    explicit QuendraRC1(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~QuendraRC1() override;

    // The file commands without their dialogs (the command line and the dialogs both end
    // here). Each returns false, once its German message has been closed, when the file was
    // not usable; the state is then left as it was.
    bool openImageFile(const QString& path);
    bool openVideoFile(const QString& path);
    bool saveImageFile(const QString& path);
    bool saveRecognitionFile(const QString& path);
    bool loadClassesFile(const QString& path);
    bool saveClassesFile(const QString& path);

    // Opens an image or a video, told apart by the file name's extension.
    bool openFile(const QString& path);

    // The last message shown to the operator, for those who drive the window from code.
    QString lastMessage() const { return message; }

    CalculationModel* model() const { return calculationModel.get(); }
    FrameView* view() const;
    ViewArea* viewArea() const { return frameArea.get(); }
    ThreshController* thresholds() const { return threshController.get(); }
    VideoController* videoPanel() const { return videoController.get(); }
    PickerController* picker() const { return pickerController.get(); }
    QPushButton* saveViewButton() const { return saveButton.get(); }
    VideoModel* video() const;
    // Opens and chooses the camera.
    CameraCommands* camera() const { return cameraCommands.get(); }

protected:
    // Keeps the arrow keys for a setting slider with the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window, by itself or by "Beenden", asks first while picks are unsaved.
    void closeEvent(QCloseEvent* event) override;
    // The window grows tall enough for every command of the tool bar.
    void showEvent(QShowEvent* event) override;

private slots:
    void openImage();
    void openVideo();
    void saveFrame();
    void loadLUT();
    // False when no file was written: the dialog cancelled or the file refused.
    bool saveLUT();
    void configuring(bool value);
    // Tells a preview that has no colours to paint.
    void previewWithoutColours();
    // Forgets the kept settings and puts the panels back at the defaults.
    void resetSettings();
    // The analysis of the frame just shown, or why there was none.
    void showAnalysis(bool analysed);
    // Frames skipped since playback started; 0 when it started again.
    void showSkipped(int skipped);

private:
    // Parts of the constructor: the panels below the view, and every command's connection.
    void addPanels();
    void connectCommands();
    // `video` is the source itself when it is a video, which the video panel then steers.
    void installSource(FrameModel* source, VideoModel* video = nullptr);
    // Messages are modal and return once the operator has closed them: a command goes on
    // only after its message was read (a failed picture is told before the text file is asked
    // for), and none can be given again while its message is on screen, so messages never pile
    // up.
    void showMessage(const QString& text);
    // Whether the picks may go: none unsaved, or the operator saved or discarded them when
    // asked; false when they cancelled.
    bool picksMayGo();
    // Write the picture or the recognition data of a frame as it was shown; false, once the
    // message has been closed, when the file could not be written.
    bool savePicture(const ShownFrame& shown, const QString& path);
    bool saveRecognition(const ShownFrame& shown, const std::string& source, const QString& path);
    // Where the frame on screen comes from, as the recognition text records it.
    std::string shownSource() const;
    // What the operator's last step did, until the next one.
    void showStatus(const QString& text);
    // Of the frame on screen.
    cv::Size frameSize() const;
    // The layouts brought up to date at once, not when their posted requests come.
    void settleLayout();
    // The window around the view at one screen pixel per frame pixel, as small as its parts
    // allow; where that would not fit the screen the window is on, the view scrolls in the
    // screen's free room instead.
    void fitToScreen();
    // Remembers the name and the folder of a source just opened.
    void sourceOpened(const QString& path);
    // Loads the colour classes loaded last, if any.
    void restoreClasses();
    // A path chosen in a file dialog starting in the folder of the file opened or saved last;
    // empty if cancelled.
    enum class Dialog { Open, Save };
    QString choosePath(Dialog kind, const QString& caption, const QString& filter);
    // The next file dialog starts in this file's folder.
    void rememberFolder(const QString& path);

    std::unique_ptr<Ui::QuendraRC1Class> ui;   // the form: actions, tool bar, layout
    std::unique_ptr<WindowSettings> settings;  // outlives the model it keeps the settings of
    // Declared so that the model is destroyed before the view: no notification reaches a
    // destroyed view. The view belongs to its area.
    std::unique_ptr<ViewArea> frameArea;
    std::unique_ptr<CalculationModel> calculationModel;
    std::unique_ptr<ThreshController> threshController;
    std::unique_ptr<VideoController> videoController;
    std::unique_ptr<PickerController> pickerController;
    std::unique_ptr<QPushButton> saveButton;
    std::unique_ptr<WindowStatus> status;
    std::unique_ptr<CameraCommands> cameraCommands;
    QPointer<VideoModel> currentVideo;  // the source while it is a video (the model owns it)
    QString sourceName;                 // the file's name, or the camera
    QString message;
};
