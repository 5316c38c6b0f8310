/*
 * animate_sdl.h - shows one of the library's windows through SDL2.
 *
 * The public header of libanimate_sdl, an add-on to libanimate. Valid C11
 * and C++. A presenter keeps a streaming ARGB8888 texture of an in-memory
 * window (AnimCreateWindowDC) on an SDL_Renderer. Each update converts only
 * the rectangles the library wrote into the window since the last one
 * (AnimWindowChanges) through the 256 colours the window shows, and the
 * whole window when those colours changed (a fade step with no pixel
 * changed still shows), after a render reset or on a new renderer. Every
 * call comes from the game's one thread. A failed SDL call or a refused
 * argument is answered with -1 (or null) and the reason in SDL_GetError();
 * nothing here ends the process.
 */
#ifndef ANIMATE_SDL_H
#define ANIMATE_SDL_H

#include <SDL.h>

#include "animate.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AnimSdlPresenter AnimSdlPresenter;

/* How the picture fills the renderer's output, centred, black around it. */
enum {
    /* The largest whole-number scale that fits (sharp pixels); a smaller
     * output than the window shrinks the picture as ANIM_SDL_LETTERBOX. */
    ANIM_SDL_WHOLE_SCALE = 0,
    /* The largest scale that fits with the window's proportions. */
    ANIM_SDL_LETTERBOX = 1
};

/* A presenter of window on renderer, drawing with the given scaling; its
 * texture is made at once and its first update converts the whole window.
 * Null when renderer is null, window is not a live window of the library,
 * scaling is none of the above, or SDL cannot make the texture. Destroy it before the renderer
 * and the window. */
ANIM_API AnimSdlPresenter *AnimSdlCreatePresenter(SDL_Renderer *renderer, HDC window,
                                                  int32_t scaling);
/* Releases the presenter and its texture; null is ignored. */
ANIM_API void AnimSdlDestroyPresenter(AnimSdlPresenter *presenter);

/* Brings the texture up to date with the window. Returns the pixels
 * converted (0: nothing changed), or -1 (null presenter, window destroyed,
 * a failed texture lock); after a failure the next update converts the
 * whole window. */
ANIM_API int32_t AnimSdlUpdate(AnimSdlPresenter *presenter);
/* Clears the renderer's output to black and draws the texture as the
 * scaling says; the renderer's draw colour is kept. 0, or -1. */
ANIM_API int32_t AnimSdlDraw(AnimSdlPresenter *presenter);
/* One call a frame: AnimSdlUpdate, AnimSdlDraw, then SDL_RenderPresent.
 * Returns what the update returned, or -1. */
ANIM_API int32_t AnimSdlPresent(AnimSdlPresenter *presenter);

/* Hand it every SDL event: after SDL_RENDER_TARGETS_RESET the next update
 * converts the whole window, after SDL_RENDER_DEVICE_RESET it also makes
 * a new texture. Other events and null arguments are ignored. */
ANIM_API void AnimSdlHandleEvent(AnimSdlPresenter *presenter, const SDL_Event *event);
/* Moves the presenter to another renderer, where it makes a new texture
 * that the next update converts whole. The old renderer may already be
 * destroyed: the old texture is left to it (SDL frees a renderer's
 * textures with the renderer). 0, or -1 with the presenter unchanged. */
ANIM_API int32_t AnimSdlSetRenderer(AnimSdlPresenter *presenter, SDL_Renderer *renderer);
/* Changes the scaling from the next draw on; 0, or -1 for an unknown one. */
ANIM_API int32_t AnimSdlSetScaling(AnimSdlPresenter *presenter, int32_t scaling);

/* Where a point of the renderer's output (a mouse position) falls in the
 * library's window at the last draw: 1 with *x and *y (may be null) set,
 * or 0 when it falls outside the picture or nothing was drawn yet. */
ANIM_API int32_t AnimSdlWindowPoint(const AnimSdlPresenter *presenter, int32_t outputX,
                                    int32_t outputY, int32_t *x, int32_t *y);
/* The presenter's texture (ARGB8888, the window's size) for a game that
 * draws it itself after AnimSdlUpdate; null for a null presenter. */
ANIM_API SDL_Texture *AnimSdlTexture(const AnimSdlPresenter *presenter);

#ifdef __cplusplus
}
#endif

#endif /* ANIMATE_SDL_H */
