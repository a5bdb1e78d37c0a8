"""Every way to quit ends the process with status 0, also while a screenshot's flash is still on
screen and its removal is pending: SIGTERM, SIGINT, the tray menu's Quit, and Ctrl+Q in the menu."""

import signal
import unittest

from harness import TAVELIN, DesktopTestCase


class QuitCase(DesktopTestCase):

    def shoot_and_wait_for_the_flash(self):
        """Takes a screenshot and returns once its flash is on screen (it stays for 0.15 s). Asked
        over the bus: a Tavelin just restarted answers it at once, before its key watch is set up."""
        flash = self.watch_window("Tavelin Flash", 20)
        self.spawn([TAVELIN, "shot"])
        self.assertEqual(flash.next_matching("", timeout=20).split()[1], "appeared")

    def assert_clean_exit(self):
        self.assertEqual(self.tavelin.wait(timeout=20), 0, self.desktop.tavelin_log())


class QuitWithTrayWatcherTest(QuitCase):
    desktop_options = {"tray_watcher": True}

    def test_sigterm_sigint_and_the_menus_quit_with_the_flash_up(self):
        for way in (signal.SIGTERM, signal.SIGINT, "menu"):
            with self.subTest(way=str(way)):
                item, quit_row = self.desktop.tray_item(), self.desktop.menu_row("Quit")
                self.shoot_and_wait_for_the_flash()
                if way == "menu":
                    self.assertTrue(self.desktop.panel.click(*item, quit_row.id))
                else:
                    self.tavelin.send_signal(way)
                self.assert_clean_exit()
                self.tavelin = self.desktop.start_tavelin()
                self.desktop.overlay_window()


class QuitWithXEmbedTrayTest(QuitCase):
    desktop_options = {"xembed_tray": True}

    def test_ctrl_q_in_the_open_menu_with_the_flash_up(self):
        self.desktop.open_docked_menu(3)
        self.shoot_and_wait_for_the_flash()
        self.desktop.run(["xdotool", "key", "ctrl+q"], check=True)
        self.assert_clean_exit()


if __name__ == "__main__":
    unittest.main()
