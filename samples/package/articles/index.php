<?php
// Articles: the list of published articles.
require_once '../include/templates/header.php';
$db = pg_connect('dbname=corvantis');
$rows = pg_query($db, 'SELECT title, published FROM articles ORDER BY published DESC');
while ($row = pg_fetch_assoc($rows)) {
  echo '<h2>' . htmlspecialchars($row['title']) . '</h2>';
}
