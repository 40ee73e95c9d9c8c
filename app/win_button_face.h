// Push button faces the bar draws itself for the other Button files' matches, which have no
// window of their own, and the caption colours of every push button on the bar. A face is drawn
// once per size and state and then copied, which costs a hundredth of drawing it with the theme.
#pragma once

#include <windows.h>

// The push button's states, numbered as the theme numbers them.
enum class FaceState { Normal = 1, Hot = 2, Pressed = 3, Disabled = 4, Defaulted = 5 };

// Draws push button faces (the theme's, or the classic ones without a theme), all of one size,
// into one device context, each as the push button draws its own.
class FacePainter {
public:
    explicit FacePainter(HDC dc);
    ~FacePainter();
    FacePainter(const FacePainter&) = delete;
    FacePainter& operator=(const FacePainter&) = delete;
    // Fills `rect` with the face.
    void Draw(const RECT& rect, FaceState state);

private:
    HDC dc_;
    HDC memory_;
    HGDIOBJ original_ = nullptr;
};
// The caption colour the theme gives a push button in that state, or the system's button text
// colour where no theme draws the buttons. Asking the theme costs as much as drawing an icon, so
// each state's colour is kept until ForgetButtonFaces.
COLORREF ButtonCaptionColour(FaceState state);
// The theme, the system colours or the scale changed: faces and colours are made again.
void ForgetButtonFaces();
