// The page's script: starts the viewer. The page's policy runs no inline
// script, so this file is what calls init().
import { init } from './app/main.mjs';

init();
