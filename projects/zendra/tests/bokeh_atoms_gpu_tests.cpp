// GPU tests: filled next.
