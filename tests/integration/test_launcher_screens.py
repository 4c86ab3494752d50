"""What the setup window draws, read back as pixels: screenshots of preview
states through the real `--preview --screenshot` path, and the live window on
the X display. Probes sit where Wine draws as Windows does: inside filled
shapes and on flat areas, never on edges, glows or masked pictures."""

import itertools
import pathlib
import sys
import time
import unittest

import harness
import launcher_harness as lh
import pictures

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "resources" / "languages"))
import shipped_languages  # noqa: E402

BADGE_SUCCESS, BADGE_WARNING, BADGE_CANCELLED = 0x2FD164, 0xFB923C, 0x52525B
PRIMARY_FILL = 0xF4F4F5
CARD = 0x131316


def bar_colour(x):
    """The bar brush's colour at design x: #3B82F6 at 48 to #7DE2D1 at 672."""
    t = (x - 48) / 624
    start, end = pictures.hex_colour(0x3B82F6), pictures.hex_colour(0x7DE2D1)
    return tuple(round(a + (b - a) * t) for a, b in zip(start, end))


def is_fill(pixel):
    """The bar's fill (blue to teal, or white under Wine's shimmer), not its dark track."""
    return pixel[1] > 120 and pixel[2] > 190


def brighter(pixel, than, by):
    return all(p >= t + by for p, t in zip(pixel, than))


def column_run(picture, x, colour, y_range, tolerance=8):
    """The longest run of pixels near `colour` down column x."""
    best = run = 0
    for y in y_range:
        run = run + 1 if pictures.near(picture.at(x, y), colour, tolerance) else 0
        best = max(best, run)
    return best


def row_run(picture, y, colour, tolerance=6):
    best = run = 0
    for x in range(picture.width):
        run = run + 1 if pictures.near(picture.at(x, y), colour, tolerance) else 0
        best = max(best, run)
    return best


class Screenshots(unittest.TestCase):
    def setUp(self):
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def capture(self, state, *options, name=None, env=None):
        path = self.ws.path((name or state) + ".png")
        run = lh.run_launcher("--preview", "--state", state, *options, "--screenshot", harness.windows_path(path),
                              workspace=self.ws, env=env)
        self.assertEqual((run.exit_code, run.box), (0, None), run)
        return pictures.read_png(path)

    def assert_badge(self, picture, colour):
        # The badge sits right of and below the logo's centre; its centre row
        # depends on the texts, so the column through its left half is searched.
        self.assertGreaterEqual(column_run(picture, 396, pictures.hex_colour(colour), range(120, 460)), 12,
                                "no %06X badge" % colour)

    def test_progress_screens_draw_the_bar_determinate_and_indeterminate(self):
        installing = self.capture("installing")
        preparing = self.capture("preparing")
        self.assertEqual((installing.width, installing.height), (720, 600))
        # Preparing: the indeterminate segment stands at 272.6 to 447.4 at the
        # frozen 600.8 s, in the bar's gradient; left and right of it the track.
        self.assertTrue(pictures.near(preparing.at(360, 550), bar_colour(360), 8), preparing.at(360, 550))
        self.assertFalse(is_fill(preparing.at(150, 550)), preparing.at(150, 550))
        # 42 %: the fill runs from 48 to 310 (its colours are not probed: Wine
        # draws the shimmer's transparent ends as solid white over it). Beyond
        # its head the track shows as on the preparing screen, whose frozen
        # background is the same.
        for x in (60, 150, 280):
            self.assertTrue(is_fill(installing.at(x, 550)), (x, installing.at(x, 550)))
        self.assertTrue(pictures.near(installing.at(500, 550), preparing.at(500, 550), 3))
        self.assertTrue(pictures.near(installing.at(660, 550), preparing.at(660, 550), 3))

    def test_outcome_screens_show_their_badges_and_buttons(self):
        for state, badge, buttons in (("success", BADGE_SUCCESS, False), ("error", BADGE_WARNING, True),
                                      ("unsupported", BADGE_WARNING, True), ("cancelled", BADGE_CANCELLED, True)):
            with self.subTest(state=state):
                picture = self.capture(state)
                self.assert_badge(picture, badge)
                # The primary button ("Try again", "See system requirements", "Install
                # Tavo Studio") is a light fill at least 132 wide; success opens the
                # application by itself and has none.
                widest = max(row_run(picture, y, pictures.hex_colour(PRIMARY_FILL)) for y in range(380, 600, 3))
                if buttons:
                    self.assertGreaterEqual(widest, 120)
                else:
                    self.assertLess(widest, 40)

    def test_stop_confirmation_card_and_buttons_at_318(self):
        picture = self.capture("cancel", "--percent", "70")
        self.assertTrue(pictures.near(picture.at(180, 215), pictures.hex_colour(CARD), 4), picture.at(180, 215))
        self.assertTrue(pictures.near(picture.at(540, 380), pictures.hex_colour(CARD), 4))
        # "Keep installing" left of the centre, "Stop installing" right of it, both from y 318.
        self.assertTrue(pictures.near(picture.at(250, 322), pictures.hex_colour(PRIMARY_FILL), 4), picture.at(250, 322))
        self.assertTrue(pictures.near(picture.at(250, 356), pictures.hex_colour(PRIMARY_FILL), 4))
        self.assertFalse(pictures.near(picture.at(250, 314), pictures.hex_colour(PRIMARY_FILL), 40))
        secondary = picture.at(470, 322)
        self.assertTrue(brighter(secondary, pictures.hex_colour(CARD), 6) and max(secondary) < 70, secondary)
        # The scrim darkens the screen around the card: the 70 % fill shows dimmed.
        fill = picture.at(150, 550)
        self.assertTrue(max(fill) < max(bar_colour(150)) * 0.5, fill)

    def test_sizes_follow_the_scale_and_a_bad_path_fails_the_start(self):
        double = self.capture("success", "--screenshot-scale", "2", name="double")
        self.assertEqual((double.width, double.height), (1440, 1200))
        clamped = self.capture("success", "--screenshot-scale", "5", name="clamped")
        self.assertEqual((clamped.width, clamped.height), (2160, 1800))
        self.assert_badge_scaled(double, 2)

        missing = self.ws.path("no-such-folder") / "shot.png"
        run = lh.run_launcher("--preview", "--state", "success", "--screenshot", harness.windows_path(missing),
                              workspace=self.ws)
        self.assertTrue(run.exit_code & 0x80000000 and run.exit_code != 0xA0041205, run)
        self.assertIsNone(run.box)  # screenshots never show the box
        self.assertFalse(missing.exists())

    def test_frames_through_the_frame_cache_match_frames_without_it(self):
        # The cache draws the glows at a quarter of the size and stretches
        # them, composes the tip picture with its faded edges once and keeps
        # layouts and gradients. Where Wine draws a glow's fading rim as a hard
        # edge the stretch softens it over a few pixels; local averages over
        # 13-pixel squares still agree, and the tip picture's opaque middle
        # matches pixel by pixel, also at twice the size.
        for state, scale in (("installing", 1), ("success", 1), ("installing", 2)):
            name = "%s-%d" % (state, scale)
            cached = self.capture(state, "--screenshot-scale", str(scale), name=name + "-cached")
            plain = self.capture(state, "--screenshot-scale", str(scale), name=name + "-plain",
                                 env={"TAVO_TEST_HOOK_NO_FRAME_CACHE": "1"})
            self.assertNotEqual(pictures.largest_local_difference(cached, plain, 0), 0, name + ": the cache was off")
            self.assertLessEqual(pictures.largest_local_difference(cached, plain, 6), 20, name)
            if state == "installing":
                middle = [(x, y) for y in range(110 * scale, 270 * scale, 3) for x in range(220 * scale, 500 * scale, 3)]
                worst = max(max(abs(a - b) for a, b in zip(cached.at(x, y), plain.at(x, y))) for x, y in middle)
                self.assertLessEqual(worst, 8, name + ": the tip picture")

    def assert_badge_scaled(self, picture, scale):
        colour = pictures.hex_colour(BADGE_SUCCESS)
        self.assertGreaterEqual(column_run(picture, 396 * scale, colour, range(120 * scale, 460 * scale)), 12 * scale)


LANGUAGES = ("en", *shipped_languages.SHIPPED, shipped_languages.PSEUDO)
CJK = ("ja", "ko", "zh-Hans", "zh-Hant")


def glyph_shapes(picture, rows):
    """The distinct shapes of the near-white glyphs in these rows: the ink
    split into cells at blank columns, each cell cropped to its ink."""
    def ink(x, y):
        return min(picture.at(x, y)) > 170
    columns = [any(ink(x, y) for y in rows) for x in range(picture.width)]
    shapes, x = set(), 0
    while x < picture.width:
        if not columns[x]:
            x += 1
            continue
        start = x
        while x < picture.width and columns[x]:
            x += 1
        cell = [tuple(ink(cx, y) for cx in range(start, x)) for y in rows]
        cell = [row for row in cell if any(row)]
        shapes.add(tuple(cell))
    return shapes


class LanguageScreenshots(unittest.TestCase):
    """The installing, error and stop screens of every language, at the probes
    of the screens above; Japanese, Korean and Chinese with real glyphs."""

    def setUp(self):
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def capture(self, language, state, *options):
        path = self.ws.path("%s-%s.png" % (language, state))
        run = lh.run_launcher("--preview", "--state", state, *options, "--language", language,
                              "--screenshot", harness.windows_path(path), workspace=self.ws)
        self.assertEqual((run.exit_code, run.box), (0, None), (language, state, run))
        return pictures.read_png(path)

    def test_every_language_draws_each_screen_in_its_place(self):
        english_heading = None
        for language in LANGUAGES:
            with self.subTest(language=language):
                installing = self.capture(language, "installing", "--percent", "42")
                for x in (60, 150, 280):
                    self.assertTrue(is_fill(installing.at(x, 550)), (x, installing.at(x, 550)))
                error = self.capture(language, "error")
                self.assertGreaterEqual(column_run(error, 396, pictures.hex_colour(BADGE_WARNING), range(120, 460)), 12)
                widest = max(row_run(error, y, pictures.hex_colour(PRIMARY_FILL)) for y in range(380, 600, 3))
                self.assertGreaterEqual(widest, 120)
                cancel = self.capture(language, "cancel", "--percent", "70")
                self.assertTrue(pictures.near(cancel.at(180, 215), pictures.hex_colour(CARD), 4))
                self.assertTrue(pictures.near(cancel.at(250, 322), pictures.hex_colour(PRIMARY_FILL), 4))
                self.assertTrue(pictures.near(cancel.at(250, 356), pictures.hex_colour(PRIMARY_FILL), 4))
                self.assertFalse(pictures.near(cancel.at(250, 314), pictures.hex_colour(PRIMARY_FILL), 40))
                # The heading is the language's own, not English.
                heading = [error.at(x, y) for y in range(290, 345, 2) for x in range(40, 680, 2)]
                if english_heading is None:
                    english_heading = heading
                else:
                    changed = sum(not pictures.near(a, b, 40) for a, b in zip(heading, english_heading))
                    self.assertGreater(changed, 200, language + ": the heading looks like the English one")
                if language in CJK:
                    # An empty box is one shape however often it repeats: the
                    # heading's first line ("Something got in the way.") has
                    # several distinct glyphs, each drawn by a CJK font.
                    self.assertGreaterEqual(len(glyph_shapes(error, range(290, 345))), 5, language)


class HighContrastScreenshots(unittest.TestCase):
    """A high-contrast theme, forced by the test hook over system colours that
    all differ, so that each probe tells which role a pixel took."""
    COLOURS = {"Window": (0, 0, 0), "WindowText": (255, 255, 0), "Hilight": (0, 255, 255), "HilightText": (0, 0, 0),
               "ButtonFace": (0, 0, 128), "ButtonText": (255, 255, 255), "GrayText": (0, 255, 0)}

    def setUp(self):
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def capture(self, state):
        path = self.ws.path(state + ".png")
        run = lh.run_launcher("--preview", "--state", state, "--screenshot", harness.windows_path(path),
                              workspace=self.ws, env={"TAVO_TEST_HOOK_HIGH_CONTRAST": "1"})
        self.assertEqual((run.exit_code, run.box), (0, None), run)
        return pictures.read_png(path)

    def test_screens_draw_in_the_system_colours(self):
        with harness.system_colours(self.COLOURS):
            installing, error = self.capture("installing"), self.capture("error")
        window, text, highlight = self.COLOURS["Window"], self.COLOURS["WindowText"], self.COLOURS["Hilight"]

        def has(picture, colour, xs, ys):
            return any(pictures.near(picture.at(x, y), colour, 30) for y in ys for x in xs)
        # No glow anywhere: where the dark design has its ambient light, the window colour.
        for picture, point in itertools.product((installing, error), ((5, 5), (20, 300), (700, 120), (715, 595))):
            self.assertEqual(picture.at(*point), window, point)
        # 42 %: the fill to 310 in the highlight, without shimmer or head glow;
        # beyond it the track, outlined in the window text around the window colour.
        for x in (60, 150, 280, 300):
            self.assertEqual(installing.at(x, 550), highlight, x)
        self.assertEqual((installing.at(500, 548), installing.at(500, 550)), (text, window))
        self.assertTrue(has(installing, text, range(48, 200), range(524, 542)), "no label in the window text")
        self.assertTrue(has(error, text, range(100, 620), range(330, 400)), "no body in the window text")
        self.assertGreaterEqual(column_run(error, 396, highlight, range(120, 460), 0), 12, "no highlight badge")
        # "Try again" reaches from 232 or less to 340 or more: its face, and on it its text.
        rows = [y for y in range(380, 600) if error.at(240, y) == self.COLOURS["ButtonFace"]]
        self.assertGreater(len(rows), 30)
        self.assertTrue(has(error, self.COLOURS["ButtonText"], range(244, 340), rows), "no text on the primary")


class LiveWindow(unittest.TestCase):
    def setUp(self):
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def window_shot(self):
        [rect] = lh.driver("rect")["rect"]
        return pictures.x_screenshot(rect["left"], rect["top"], rect["width"], rect["height"]), rect

    def fill_end(self, shot, scale):
        """Where the bar's fill ends on the row through the bar, in DIPs. The
        ambient glows move in the live window, so the fill is told from the
        track by how much it outshines the row just above the bar (the track
        adds 8 % white, the fill replaces the background), going right from its
        start until that stops. The head glow near its end stops it alike in
        every shot."""
        bar, above = round(550 * scale), round(545 * scale)
        x = round(52 * scale)
        while x < round(672 * scale) and sum(shot.at(x, bar)) - sum(shot.at(x, above)) > 150:
            x += 1
        return x / scale

    def settled_fill_end(self):
        """The fill's end once the displayed value has eased in: it moves a
        fixed share of the way each animation tick, and a loaded machine ticks
        slower, so shots are taken until two in a row agree."""
        last = None
        for _ in range(12):
            shot, rect = self.window_shot()
            end = self.fill_end(shot, rect["width"] / 720)
            if last is not None and abs(end - last) <= 2:
                return end
            last = end
            time.sleep(0.4)
        return last

    def test_the_bar_fill_moves_while_the_worker_reports_progress(self):
        # The fake worker holds each step until the test has read the bar.
        env = lh.fake_worker_env("progress_steps.txt", gates=self.ws.dir)
        with lh.running("--install", "--report", harness.windows_path(self.ws.path("install.json")), env=env):
            lh.driver("wait-window", 20000, "wait-title", "Installing 10%", 60000)
            first_end = self.settled_fill_end()
            lh.open_gate(self.ws.dir, "at-10")
            lh.driver("wait-title", "Installing 60%", 60000)
            second_end = self.settled_fill_end()
            lh.open_gate(self.ws.dir, "at-60")
            lh.driver("wait-status", "is installed and updates automatically", 60000, "close", "wait-gone", 15000)
        # 10 % fills 62 of 624, 60 % fills 374; the head glow adds the same to both.
        self.assertTrue(48 + 62 - 30 <= first_end <= 48 + 62 + 4, first_end)
        self.assertLess(abs(second_end - first_end - 312), 30, (first_end, second_end))

    def test_a_failing_frame_falls_back_to_gdi_text(self):
        # `cancelled`: a preview screen that a close request ends at once.
        def text_band(shot, rect):
            middle = rect["height"] // 2
            return [shot.at(x, y) for y in range(middle - 20, middle + 20) for x in range(rect["width"])]

        def painted(shot, rect):
            return any(pictures.near(p, pictures.hex_colour(0xF8F8F8), 10) for p in text_band(shot, rect))
        with lh.running("--preview", "--state", "cancelled", env={"TAVO_TEST_HOOK_FAIL_FRAME": "1"}):
            lh.driver("wait-window", 20000)
            # Shots until the first paint has shown, however long a loaded machine takes to map and paint.
            for _ in range(100):
                shot, rect = self.window_shot()
                if painted(shot, rect):
                    break
                time.sleep(0.3)
            lh.driver("close", "wait-gone", 15000)
        self.assertTrue(painted(shot, rect), "no fallback text")
        background = pictures.hex_colour(0x08080A)
        # No glow, picture or bar: the background colour everywhere but the text.
        for point in ((20, 100), (rect["width"] // 2, 40), (rect["width"] - 20, rect["height"] - 20)):
            self.assertEqual(shot.at(*point), background, point)
        text = text_band(shot, rect)
        self.assertTrue(all(p[0] == p[1] and abs(p[2] - p[1]) <= 2 for p in text), "the text is grey on dark")


if __name__ == "__main__":
    unittest.main()
