"""Helpers shared by the test suites."""
